#include "channels/channels_video.h"

#include "support/graphemes.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

constexpr qsizetype kMaxNameCharacters = 60;

bool isLineBreak(QChar c) {
    switch (c.unicode()) {
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x85:
        case 0x2028:
        case 0x2029:
            return true;
        default:
            return false;
    }
}

// White space that is not a line break.
bool isHorizontalSpace(QChar c) {
    return c.isSpace() && !isLineBreak(c);
}

QString trimmed(const QString& text, bool (*strip)(QChar)) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && strip(text[begin])) ++begin;
    while (end > begin && strip(text[end - 1])) --end;
    return text.sliced(begin, end - begin);
}

QString firstNonBlankLine(const QString& title) {
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= title.size(); ++i) {
        if (i < title.size() && !isLineBreak(title[i])) continue;
        const QString line = trimmed(title.sliced(lineStart, i - lineStart), isHorizontalSpace);
        if (!line.isEmpty()) return line;
        lineStart = i + 1;
    }
    return {};
}

// Characters a file name cannot hold on one of the systems the file may travel to.
QString withoutForbidden(QString text) {
    static const QRegularExpression forbidden(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1F]"));
    static const QRegularExpression spaceRuns(QStringLiteral("\\s+"),
                                              QRegularExpression::UseUnicodePropertiesOption);
    text.replace(forbidden, QStringLiteral(" "));
    text.replace(spaceRuns, QStringLiteral(" "));
    return trimmed(text, [](QChar c) { return c == u' ' || c == u'.'; });
}

}  // namespace

QString ChannelsVideo::suggestedFilename() const {
    QString name = withoutForbidden(firstNonBlankLine(title));
    if (Graphemes::count(name) > kMaxNameCharacters) {
        name =
            trimmed(Graphemes::prefix(name, kMaxNameCharacters), isHorizontalSpace) + QChar(0x2026);
    }
    if (name.isEmpty()) {
        // The author's nickname is the user's to choose: it must not bring a path separator or
        // a leading dot into the file name.
        const QString safeAuthor = withoutForbidden(author);
        const QDateTime when = createdAt.value_or(QDateTime::currentDateTime()).toLocalTime();
        name = QStringLiteral("视频号_") +
               (safeAuthor.isEmpty() ? QString() : safeAuthor + QLatin1Char('_')) +
               QLocale::system().toString(when, QStringLiteral("yyyyMMdd_HHmmss"));
    }
    return name + QStringLiteral(".mp4");
}
