#include "channels/channels_video.h"

#include "support/file_placement.h"
#include "support/graphemes.h"
#include "support/safe_text.h"

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

// Characters a file name cannot hold on one of the systems the file may travel to, and the
// invisible ones that would disguise it.
QString withoutForbidden(QString text) {
    text = SafeText::forFileName(text);
    static const QRegularExpression forbidden(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1F]"));
    static const QRegularExpression spaceRuns(QStringLiteral("\\s+"),
                                              QRegularExpression::UseUnicodePropertiesOption);
    text.replace(forbidden, QStringLiteral(" "));
    text.replace(spaceRuns, QStringLiteral(" "));
    return trimmed(text, [](QChar c) { return c == u' ' || c == u'.'; });
}

}  // namespace

QString ChannelsVideo::suggestedFilename() const {
    const QString extension = QStringLiteral(".mp4");
    // File systems count a name in bytes (255), and the name must still fit with a " (n)"
    // counter: a title of 60 emoji is far longer than that.
    const qsizetype budget = FilePlacement::stemBudget(extension);
    const QString ellipsis(QChar(0x2026));
    QString name = withoutForbidden(firstNonBlankLine(title));
    if (Graphemes::count(name) > kMaxNameCharacters) {
        name = trimmed(Graphemes::prefix(name, kMaxNameCharacters), isHorizontalSpace) + ellipsis;
    }
    if (name.toUtf8().size() > budget) {
        const QString whole = name.endsWith(ellipsis) ? name.chopped(1) : name;
        name = trimmed(Graphemes::prefixWithinBytes(whole, budget - ellipsis.toUtf8().size()),
                       isHorizontalSpace) +
               ellipsis;
    }
    if (name.isEmpty()) {
        // The author's nickname is the user's to choose: it must not bring a path separator or
        // a leading dot into the file name, nor make it too long.
        const QDateTime when = createdAt.value_or(QDateTime::currentDateTime()).toLocalTime();
        const QString prefix = QStringLiteral("视频号_");
        const QString time = QLocale::system().toString(when, QStringLiteral("yyyyMMdd_HHmmss"));
        const qsizetype authorBudget = budget - (prefix + QLatin1Char('_') + time).toUtf8().size();
        const QString safeAuthor =
            trimmed(Graphemes::prefixWithinBytes(withoutForbidden(author), authorBudget),
                    [](QChar c) { return c == u' ' || c == u'.'; });
        name = prefix + (safeAuthor.isEmpty() ? QString() : safeAuthor + QLatin1Char('_')) + time;
    }
    return name + extension;
}
