#include "core/share_link.h"

#include <QRegularExpression>
#include <QStringMatcher>

namespace Channels {

std::optional<QString> shareLink(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("https?://") + QRegularExpression::escape(QString::fromUtf16(kShareHost)) +
        QStringLiteral("/sph/[A-Za-z0-9_\\-]+"));
    // Most pasted texts hold no share link; a plain search rules that out far faster than the
    // expression over a long text.
    static const QStringMatcher sharePath(QStringLiteral("/sph/"));
    if (sharePath.indexIn(text) < 0) return std::nullopt;
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    QString link = match.captured(0);
    link.replace(QStringLiteral("http://"), QStringLiteral("https://"));
    return link;
}

}  // namespace Channels
