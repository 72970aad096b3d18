#pragma once

#include <QString>

// User-perceived characters (grapheme clusters): an emoji with its modifiers or a letter with
// its combining marks counts as one.
namespace Graphemes {

qsizetype count(const QString& text);

// The first `limit` user-perceived characters of text (all of it when it is shorter).
QString prefix(const QString& text, qsizetype limit);

}  // namespace Graphemes
