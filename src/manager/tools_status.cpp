#include "manager/tools_status.h"

#include "core/background.h"
#include "support/log.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPointer>

#include <utility>

namespace {

// Work that must not block the main thread, its result stored back there if the status still
// exists.
template <typename Work, typename Store>
QCoro::Task<> inBackground(QPointer<ToolsStatus> status, Work work, Store store) {
    const auto result = co_await offMainThread(work);
    if (status) store(status.data(), result);
}

// The located tools' files as they are now: another file, or the same one rewritten, gives
// another fingerprint.
QString fingerprint(const Tools::Settings& settings) {
    QString print;
    for (const std::optional<QString>& tool : {Tools::ytdlp(settings), Tools::ffmpeg(settings)}) {
        if (!tool) {
            print += QStringLiteral("-|");
            continue;
        }
        const QFileInfo file(*tool);  // a link's target counts
        print += file.canonicalFilePath() + u':' + QString::number(file.size()) + u':' +
                 QString::number(file.lastModified().toMSecsSinceEpoch()) + u'|';
    }
    return print;
}

}  // namespace

ToolsStatus::ToolsStatus(Tools::Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {}

void ToolsStatus::refresh() {
    if (m_refreshing) {
        // Answered once the running query ends: the files may have changed since it started.
        m_refreshAgain = true;
        return;
    }
    m_refreshing = true;
    std::optional<Answer> known;
    if (m_known && m_knownAge.isValid() &&
        std::chrono::milliseconds(m_knownAge.elapsed()) < kKeepAnswer)
        known = m_known;
    inBackground(
        this,
        [settings = m_settings, known] {
            const QString files = fingerprint(settings);
            if (known && known->files == files) return std::pair(*known, false);
            return std::pair(Answer{files, Tools::statusText(settings)}, true);
        },
        [](ToolsStatus* status, const std::pair<Answer, bool>& result) {
            status->m_refreshing = false;
            const auto& [answer, asked] = result;
            if (asked) {
                status->m_known = answer;
                status->m_knownAge.start();
            }
            status->setText(answer.text);
            if (std::exchange(status->m_refreshAgain, false)) status->refresh();
        });
}

void ToolsStatus::update() {
    if (m_updating) return;
    setUpdating(true);
    setText(QStringLiteral("正在更新 yt-dlp…"));
    inBackground(
        this, [settings = m_settings] { return Tools::updateOutcome(settings); },
        [](ToolsStatus* status, const Tools::UpdateOutcome& outcome) {
            status->setUpdating(false);
            status->m_known.reset();  // the version may be another now
            status->setText(outcome.text);
            status->m_lastUpdate = outcome.text;
            status->m_lastUpdateCommand = outcome.command;
            Q_EMIT status->lastUpdateChanged();
            Log::write(QStringLiteral("更新下载组件：") + outcome.text);
        });
}

void ToolsStatus::dismissLastUpdate() {
    if (m_lastUpdate.isEmpty()) return;
    m_lastUpdate.clear();
    m_lastUpdateCommand.clear();
    Q_EMIT lastUpdateChanged();
}

void ToolsStatus::setText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    Q_EMIT textChanged();
}

void ToolsStatus::setUpdating(bool updating) {
    if (updating == m_updating) return;
    m_updating = updating;
    Q_EMIT updatingChanged();
}
