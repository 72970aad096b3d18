#include "core/download_item.h"

#include "support/graphemes.h"
#include "support/safe_text.h"

namespace {
constexpr qsizetype kTitleCharacters = 60;
}

DownloadItem::DownloadItem(const QUrl& url, Platform platform, QObject* parent)
    : DownloadItem(QUuid::createUuid(), url, platform, parent) {}

DownloadItem::DownloadItem(const QUuid& id, const QUrl& url, Platform platform, QObject* parent)
    : QObject(parent),
      m_id(id),
      m_url(url),
      m_platform(platform),
      m_title(provisionalTitle(url)),
      m_phase(Phase::makeWorking(QStringLiteral("准备中…"))) {}

QString DownloadItem::linkText(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded);
}

QString DownloadItem::provisionalTitle(const QUrl& url) {
    const QString text = url.host() + url.path();
    if (Graphemes::count(text) <= kTitleCharacters) return text;
    return Graphemes::prefix(text, kTitleCharacters) + QChar(0x2026);
}

void DownloadItem::setTitle(const QString& title) {
    // Titles come from web pages: no control character reaches the list, and a right-to-left
    // override may reorder the title itself but nothing shown next to it.
    const QString shown = SafeText::isolatedTitle(title);
    if (shown == m_title) return;
    m_title = shown;
    Q_EMIT titleChanged();
}

void DownloadItem::setThumbnail(const std::optional<QUrl>& thumbnail) {
    if (thumbnail == m_thumbnail) return;
    m_thumbnail = thumbnail;
    Q_EMIT thumbnailChanged();
}

void DownloadItem::setPhase(const Phase& phase) {
    if (phase == m_phase) return;
    m_phase = phase;
    Q_EMIT phaseChanged();
}
