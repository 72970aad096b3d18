#include "sites/output_reader.h"

#include "core/download_item.h"
#include "sites/media_title.h"

#include <cmath>

namespace {
const QString kTitle = QStringLiteral("@@TITLE ");
const QString kThumb = QStringLiteral("@@THUMB ");
const QString kProgress = QStringLiteral("@@PROG ");
// Beyond this a double no longer converts to a 64-bit byte count.
constexpr double kLargestCount = 9.0e18;
}  // namespace

OutputReader::OutputReader(DownloadItem* item, StallMonitor& monitor)
    : m_item(item), m_monitor(monitor) {}

std::optional<double> OutputReader::number(const QString& field) {
    bool ok = false;
    const double value = field.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > kLargestCount) return std::nullopt;
    return value;
}

void OutputReader::handle(const QString& line) {
    // A late line (after cancellation or removal) must not bring a finished row back to life.
    if (!m_item || !m_item->isActive()) return;
    m_monitor.heard(line);
    if (line.startsWith(kTitle)) {
        m_monitor.setGotTitle();
        m_item->setTitle(MediaTitle::choose(line.mid(kTitle.size()), m_item->url()));
        m_item->setPhase(Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…")));
    } else if (line.startsWith(kThumb)) {
        QString address = line.mid(kThumb.size());
        address.replace(QStringLiteral("http://"), QStringLiteral("https://"));
        if (address == u"NA") return;
        const QUrl url(address, QUrl::StrictMode);
        m_item->setThumbnail(url.isValid() && !url.scheme().isEmpty() ? std::optional<QUrl>(url)
                                                                      : std::nullopt);
    } else if (line.startsWith(kProgress)) {
        progress(line.mid(kProgress.size()));
    }
}

void OutputReader::progress(const QString& text) {
    const QStringList fields = text.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    if (fields.size() < 5) return;
    const auto downloaded = qint64(number(fields[0]).value_or(0));
    const auto total = qint64(number(fields[1]).value_or(number(fields[2]).value_or(0)));
    const QString label = m_tracker.label(fields[4]);
    m_monitor.receivedBytes(downloaded);
    m_last = Progress{downloaded, total, number(fields[3]), label};
    show(*m_last);
}

void OutputReader::refreshProgress() {
    if (!m_last || !m_item || m_item->phase().kind() != Phase::downloading) return;
    show(*m_last);
}

void OutputReader::show(const Progress& p) {
    std::optional<double> fraction;
    if (p.total >= 1) fraction = double(p.downloaded) / double(p.total);
    m_item->setPhase(
        Phase::makeDownloading(fraction, p.label + m_meter.text(p.downloaded, p.total, p.speed)));
    if (p.total > 0 && fraction && *fraction >= 1.0) {
        // This stream is complete; merging or the next stream follows.
        m_item->setPhase(Phase::makeWorking(QStringLiteral("正在处理（合并画面和声音）…")));
    }
}
