#pragma once

#include <QString>

// User-perceived characters (grapheme clusters): an emoji with its modifiers or a letter with
// its combining marks counts as one.
namespace Graphemes {

qsizetype count(const QString& text);

// The first `limit` user-perceived characters of text (all of it when it is shorter).
QString prefix(const QString& text, qsizetype limit);

// The longest run of whole user-perceived characters at the start of text whose UTF-8 form
// takes at most `maxBytes` bytes (all of it when it fits). File names are limited in bytes, and
// a cut inside a character would leave a broken emoji or a letter without its accent.
QString prefixWithinBytes(const QString& text, qsizetype maxBytes);

}  // namespace Graphemes
