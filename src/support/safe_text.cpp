#include "support/safe_text.h"

#include "support/graphemes.h"

#include <algorithm>
#include <vector>

namespace {

constexpr char16_t kEscape = 0x1B;
constexpr char16_t kBell = 0x07;

bool endsAuthority(char16_t c) {
    return c == u'/' || c == u'?' || c == u'#' || c == u'\\' || c == u'"' || c == u'\'' ||
           c == u'<' || c == u'>' || QChar::isSpace(c) || c >= 0x3000;  // CJK text ends it
}

bool isBidiControl(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool breaksLine(char16_t c) {
    return c == u'\t' || c == u'\n' || c == 0x0B || c == 0x0C || c == u'\r' || c == 0x85 ||
           c == 0x2028 || c == 0x2029;
}

constexpr char16_t kPopFormatting = 0x202C;
constexpr char16_t kFirstStrongIsolate = 0x2068;
constexpr char16_t kPopIsolate = 0x2069;

// LRE, RLE, LRO, RLO: closed by PDF.
bool opensEmbedding(char16_t c) {
    return c == 0x202A || c == 0x202B || c == 0x202D || c == 0x202E;
}

// LRI, RLI, FSI: closed by PDI.
bool opensIsolate(char16_t c) {
    return c >= 0x2066 && c <= 0x2068;
}

// Index just past the escape sequence that starts at i (text[i] is ESC or a C1 introducer).
qsizetype skipEscape(const QString& text, qsizetype i) {
    const qsizetype n = text.size();
    char16_t kind = text[i].unicode();
    ++i;
    if (kind == kEscape) {
        if (i >= n) return i;
        const char16_t next = text[i].unicode();
        ++i;
        if (next == u'[') {
            kind = 0x9B;
        } else if (next == u']' || next == u'P' || next == u'_' || next == u'^' || next == u'X') {
            kind = 0x9D;
        } else {
            return i;  // a two-character sequence (ESC c resets the terminal)
        }
    }
    if (kind == 0x9B) {
        // Control sequence: parameter and intermediate bytes, then one final byte. Anything
        // else ends it unconsumed.
        while (i < n) {
            const char16_t c = text[i].unicode();
            if (c >= 0x40 && c <= 0x7E) return i + 1;
            if (c < 0x20 || c > 0x3F) return i;
            ++i;
        }
        return i;
    }
    if (kind == 0x9D || kind == 0x90 || kind == 0x9E || kind == 0x9F || kind == 0x98) {
        // A string (window title, device control): up to BEL or the string terminator.
        while (i < n) {
            const char16_t c = text[i].unicode();
            if (c == kBell || c == 0x9C) return i + 1;
            if (c == kEscape) return (i + 1 < n && text[i + 1] == u'\\') ? i + 2 : i;
            ++i;
        }
        return i;
    }
    return i;
}

}  // namespace

namespace SafeText {

QString withoutUserInfo(const QString& text) {
    QString result;
    const qsizetype n = text.size();
    qsizetype copied = 0;
    qsizetype i = 0;
    while (i + 2 < n) {
        if (text[i] != u':' || text[i + 1] != u'/' || text[i + 2] != u'/') {
            ++i;
            continue;
        }
        const qsizetype authority = i + 3;
        qsizetype end = authority;
        qsizetype at = -1;
        while (end < n && !endsAuthority(text[end].unicode())) {
            if (text[end] == u'@') at = end;
            ++end;
        }
        if (at >= 0) {
            result += QStringView(text).sliced(copied, authority - copied);
            copied = at + 1;
        }
        i = end;
    }
    if (copied == 0) return text;
    result += QStringView(text).sliced(copied);
    return result;
}

QString forTerminal(const QString& text) {
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = text[i].unicode();
        if (c == kEscape || c == 0x9B || c == 0x9D || c == 0x90 || c == 0x9E || c == 0x9F ||
            c == 0x98) {
            i = skipEscape(text, i);
            continue;
        }
        ++i;
        if (c == u'\t' || c == u'\n' || c == u'\r') {
            result += u' ';
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || isBidiControl(c)) {
            continue;
        } else {
            result += QChar(c);
        }
    }
    return result;
}

QString excerpt(const QString& text, qsizetype limit) {
    // A user-perceived character rarely takes more than a few UTF-16 units; the rest of a huge
    // text is never looked at.
    const qsizetype window = limit * 8 + 16;
    const bool longer = text.size() > window;
    const QString line = forTerminal(longer ? text.first(window) : text);
    if (!longer && Graphemes::count(line) <= limit) return line;
    return Graphemes::prefix(line, limit) + QChar(0x2026);
}

QString forFileName(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (isBidiControl(c.unicode())) continue;
        result += isControl(c.unicode()) ? QChar(u' ') : c;
    }
    return result;
}

QString isolatedTitle(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (breaksLine(c.unicode())) {
            kept += u' ';
        } else if (!isControl(c.unicode())) {
            kept += c;
        }
    }

    // Pair every closer with its opener; whatever stays unpaired is dropped.
    std::vector<bool> drop(size_t(kept.size()), false);
    std::vector<qsizetype> open;  // indexes of the openers not yet closed, innermost last
    bool anyBidi = false;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const char16_t c = kept[i].unicode();
        if (!isBidiControl(c)) continue;
        anyBidi = true;
        if (opensEmbedding(c) || opensIsolate(c)) {
            open.push_back(i);
        } else if (c == kPopFormatting) {
            // Closes the innermost embedding, never one outside the innermost isolate.
            if (!open.empty() && opensEmbedding(kept[open.back()].unicode())) {
                open.pop_back();
            } else {
                drop[size_t(i)] = true;
            }
        } else if (c == kPopIsolate) {
            // Closes the innermost isolate and, unmatched, every embedding inside it.
            auto isolate = std::find_if(open.rbegin(), open.rend(), [&](qsizetype at) {
                return opensIsolate(kept[at].unicode());
            });
            if (isolate == open.rend()) {
                drop[size_t(i)] = true;
                continue;
            }
            const size_t from = size_t(open.rend() - isolate);  // one past the isolate
            for (size_t k = from; k < open.size(); ++k) drop[size_t(open[k])] = true;
            open.resize(from - 1);
        }
        // LRM, RLM and ALM have no scope: they stay.
    }
    for (qsizetype at : open) drop[size_t(at)] = true;
    if (!anyBidi) return kept;

    QString result;
    result.reserve(kept.size() + 2);
    bool keptBidi = false;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (drop[size_t(i)]) continue;
        keptBidi = keptBidi || isBidiControl(kept[i].unicode());
        result += kept[i];
    }
    if (!keptBidi) return result;
    return QChar(kFirstStrongIsolate) + result + QChar(kPopIsolate);
}

}  // namespace SafeText
