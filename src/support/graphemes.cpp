#include "support/graphemes.h"

#include <QTextBoundaryFinder>

namespace Graphemes {

qsizetype count(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype n = 0;
    while (finder.toNextBoundary() != -1) ++n;
    return n;
}

QString prefix(const QString& text, qsizetype limit) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype taken = 0;
    qsizetype position = 0;
    while (taken < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1) break;
        position = next;
        ++taken;
    }
    return text.left(position);
}

QString prefixWithinBytes(const QString& text, qsizetype maxBytes) {
    if (text.toUtf8().size() <= maxBytes) return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype position = 0;
    qsizetype bytes = 0;
    for (qsizetype next = finder.toNextBoundary(); next != -1; next = finder.toNextBoundary()) {
        const qsizetype added = QStringView(text).sliced(position, next - position).toUtf8().size();
        if (bytes + added > maxBytes) break;
        bytes += added;
        position = next;
    }
    return text.left(position);
}

}  // namespace Graphemes
