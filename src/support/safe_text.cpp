#include "support/safe_text.h"

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

}  // namespace SafeText
