#include "sites/media_title.h"

#include <QFileInfo>
#include <QStringList>

namespace MediaTitle {

namespace {
const QStringList kPlaceholders = {
    QStringLiteral("master"),   QStringLiteral("manifest"), QStringLiteral("index"),
    QStringLiteral("playlist"), QStringLiteral("video"),
};
}  // namespace

bool isPlaceholder(const QString& title) {
    QString stem = title.trimmed().toLower();
    // "master.m3u8", "manifest.mpd": the stock name with its extension.
    if (const qsizetype dot = stem.indexOf(u'.'); dot > 0) stem.truncate(dot);
    return stem.isEmpty() || kPlaceholders.contains(stem);
}

QString fromLink(const QUrl& link) {
    QStringList parts;
    if (!link.host().isEmpty()) parts << link.host();
    const QStringList segments = link.path(QUrl::FullyDecoded).split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QString segment = segments[i].trimmed();
        const bool last = i == segments.size() - 1;
        // The manifest's own file name adds nothing; a folder of that name may still say where.
        if (last && isPlaceholder(segment)) continue;
        parts << (last ? QFileInfo(segment).completeBaseName() : segment);
    }
    parts.removeAll(QString());
    return parts.isEmpty() ? QStringLiteral("视频") : parts.join(QStringLiteral(" - "));
}

QString choose(const QString& title, const QUrl& link) {
    return isPlaceholder(title) ? fromLink(link) : title;
}

}  // namespace MediaTitle
