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

}  // namespace Graphemes
