#include "core/link_detector.h"

#include <QChar>
#include <QSet>

#include <functional>

namespace {

constexpr qsizetype kMaxSchemeLength = 32;

bool isAsciiAlnum(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}
bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSchemeChar(char16_t c) {
    return isAsciiAlnum(c) || c == u'+' || c == u'-' || c == u'.';
}

bool isLabelChar(char16_t c) {
    return isAsciiAlnum(c) || c == u'-' || c == u'_';
}

// ASCII characters that may stand inside a link: unreserved, reserved and the percent sign.
bool isAsciiLinkChar(char16_t c) {
    if (isAsciiAlnum(c)) return true;
    switch (c) {
        case u'-':
        case u'.':
        case u'_':
        case u'~':
        case u':':
        case u'/':
        case u'?':
        case u'#':
        case u'[':
        case u']':
        case u'@':
        case u'!':
        case u'$':
        case u'&':
        case u'\'':
        case u'(':
        case u')':
        case u'*':
        case u'+':
        case u',':
        case u';':
        case u'=':
        case u'%':
            return true;
        default:
            return false;
    }
}

// A port QUrl accepts: at most five digits, no more than 65535. An empty port is allowed.
bool isPlausiblePort(QStringView digits) {
    if (digits.size() > 5) return false;
    int value = 0;
    for (const QChar ch : digits) {
        if (!ch.isDigit() || ch.unicode() > u'9') return false;
        value = value * 10 + (ch.unicode() - u'0');
    }
    return value <= 65535;
}

// Whether an authority ("user@host:port") can possibly make a valid address. QUrl's parse is by
// far the dearest step of the scan; hostile text ("a://a:" or "a.com:99999/," repeated) offers
// hundreds of thousands of candidates that this rejects without one.
bool isPlausibleAuthority(QStringView authority) {
    const qsizetype at = authority.lastIndexOf(u'@');
    QStringView hostAndPort = authority.sliced(at + 1);
    if (hostAndPort.startsWith(u'[')) {
        const qsizetype close = hostAndPort.indexOf(u']');
        if (close < 0) return false;
        const QStringView rest = hostAndPort.sliced(close + 1);
        return rest.isEmpty() || (rest.startsWith(u':') && isPlausiblePort(rest.sliced(1)));
    }
    const qsizetype colon = hostAndPort.indexOf(u':');
    if (colon < 0) return !hostAndPort.isEmpty();
    return colon > 0 && isPlausiblePort(hostAndPort.sliced(colon + 1));
}

bool isEastAsianScript(QChar::Script script) {
    switch (script) {
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
        case QChar::Script_Bopomofo:
        case QChar::Script_Yi:
            return true;
        default:
            return false;
    }
}

// The code point at i and its length in UTF-16 units.
char32_t codePointAt(QStringView text, qsizetype i, qsizetype* units) {
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode())) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text[i + 1].unicode());
    }
    *units = 1;
    return c;
}

// Non-ASCII letters, marks and digits of alphabetic scripts continue a link (an accented or
// Cyrillic path); CJK, full-width forms, punctuation, symbols and emoji end it.
bool isNonAsciiLinkChar(char32_t cp) {
    // The common blocks of Chinese text first: ideographs, CJK punctuation, full-width forms.
    if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3000 && cp <= 0x303F) ||
        (cp >= 0xFF00 && cp <= 0xFFEF) || (cp >= 0x2000 && cp <= 0x2BFF)) {
        return false;
    }
    const QChar::Category category = QChar::category(cp);
    switch (category) {
        case QChar::Letter_Uppercase:
        case QChar::Letter_Lowercase:
        case QChar::Letter_Titlecase:
        case QChar::Letter_Modifier:
        case QChar::Letter_Other:
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Number_DecimalDigit:
            return !isEastAsianScript(QChar::script(cp));
        default:
            return false;
    }
}

// Whether a link may go on at i; `units` receives the width of the character there.
bool linkCharAt(QStringView text, qsizetype i, qsizetype* units) {
    const char16_t c = text[i].unicode();
    if (c < 0x80) {
        *units = 1;
        return isAsciiLinkChar(c);
    }
    return isNonAsciiLinkChar(codePointAt(text, i, units));
}

bool isTrailingPunctuation(char16_t c) {
    switch (c) {
        case u'.':
        case u',':
        case u';':
        case u':':
        case u'!':
        case u'?':
        case u'\'':
        case u'"':
            return true;
        default:
            return false;
    }
}

// Common generic and country top-level domains for links written without a scheme. Country
// codes that are mostly file extensions in chat text (md, py, sh, pl, rs, zip, mov) are left
// out on purpose: "readme.md" is not a link.
const QSet<QString>& bareHostTopLevelDomains() {
    static const QSet<QString> domains = [] {
        QSet<QString> set;
        const char* list[] = {
            "com",    "net",   "org",   "edu",  "gov",   "mil",   "int",   "info", "biz",  "name",
            "pro",    "io",    "co",    "me",   "tv",    "cc",    "ly",    "gl",   "gd",   "be",
            "it",     "fm",    "am",    "to",   "so",    "app",   "dev",   "xyz",  "top",  "site",
            "online", "store", "tech",  "link", "live",  "video", "vip",   "club", "shop", "wang",
            "ren",    "ink",   "art",   "fun",  "cn",    "hk",    "tw",    "mo",   "jp",   "kr",
            "sg",     "my",    "th",    "vn",   "ph",    "id",    "in",    "uk",   "de",   "fr",
            "ru",     "us",    "ca",    "au",   "nz",    "br",    "es",    "nl",   "se",   "no",
            "fi",     "dk",    "ch",    "at",   "eu",    "ie",    "pt",    "gr",   "cz",   "hu",
            "ro",     "ua",    "tr",    "il",   "ae",    "sa",    "za",    "mx",   "ar",   "cl",
            "pe",     "ws",    "la",    "ai",   "gg",    "im",    "watch", "news", "blog", "media",
            "social", "world", "today", "wiki", "cloud",
        };
        for (const char* domain : list) set.insert(QString::fromLatin1(domain));
        return set;
    }();
    return domains;
}

// Whether a host's last label is one of the bare-host top-level domains. Labels are ASCII; the
// lower-cased copy lives on the stack, so a rejected candidate costs no allocation.
bool isKnownTopLevelDomain(QStringView label) {
    constexpr qsizetype kLongest = 16;
    if (label.size() > kLongest) return false;
    char16_t lower[kLongest];
    for (qsizetype k = 0; k < label.size(); ++k) {
        const char16_t c = label[k].unicode();
        lower[k] = (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
    }
    return bareHostTopLevelDomains().contains(
        QString::fromRawData(reinterpret_cast<const QChar*>(lower), label.size()));
}

class Scanner {
public:
    // webOnly: links of other schemes are stepped over without building their URL.
    Scanner(QStringView text, bool webOnly) : m_text(text), m_webOnly(webOnly) {}

    // Calls `found` for every link in order; stops when it returns true.
    void scan(const std::function<bool(const LinkDetector::Match&)>& found) {
        const qsizetype n = m_text.size();
        qsizetype floor = 0;  // no link may begin before this (the end of the last one)
        qsizetype k = 0;
        while (k < n) {
            ++m_steps;
            qsizetype units = 1;
            if (!linkCharAt(m_text, k, &units)) {
                k += units;
                floor = k;
                continue;
            }
            const char16_t c = m_text[k].unicode();
            if (c == u':' && k + 2 < n && m_text[k + 1] == u'/' && m_text[k + 2] == u'/') {
                qsizetype rejectedEnd = k + 1;
                if (auto match = schemeLink(k, floor, &rejectedEnd)) {
                    if (found(*match)) return;
                    k = floor = match->start + match->length;
                    continue;
                }
                k = rejectedEnd;
                continue;
            }
            if (isLabelChar(c) && isHostBoundary(k, floor)) {
                qsizetype hostEnd = k;
                if (auto match = bareHostLink(k, &hostEnd)) {
                    if (found(*match)) return;
                    k = floor = match->start + match->length;
                    continue;
                }
                k = hostEnd > k ? hostEnd : k + 1;
                continue;
            }
            ++k;
        }
    }

private:
    // A bare host may start at the beginning of a run or after punctuation that cannot be part
    // of a host, path or mail address.
    bool isHostBoundary(qsizetype k, qsizetype floor) const {
        if (k == floor) return true;
        const char16_t before = m_text[k - 1].unicode();
        if (before >= 0x80 || isLabelChar(before)) return false;
        switch (before) {
            case u'.':
            case u'@':
            case u'/':
            case u'%':
            case u'+':
            case u'~':
            case u'#':
            case u'?':
            case u'&':
            case u'$':
            case u'\\':
                return false;
            default:
                return true;
        }
    }

    // Where a link starting its path or query at i ends: at a character that cannot be in a
    // link or at a closing bracket without its opening one.
    qsizetype pathEnd(qsizetype i) const {
        const qsizetype n = m_text.size();
        int round = 0, square = 0, curly = 0;
        while (i < n) {
            ++m_steps;
            qsizetype units = 1;
            if (!linkCharAt(m_text, i, &units)) break;
            const char16_t c = m_text[i].unicode();
            if (c == u'(')
                ++round;
            else if (c == u'[')
                ++square;
            else if (c == u'{')
                ++curly;
            else if (c == u')' && round-- == 0)
                break;
            else if (c == u']' && square-- == 0)
                break;
            else if (c == u'}' && curly-- == 0)
                break;
            i += units;
        }
        return i;
    }

    qsizetype trimTrailing(qsizetype start, qsizetype end) const {
        while (end > start && isTrailingPunctuation(m_text[end - 1].unicode())) {
            ++m_steps;
            --end;
        }
        return end;
    }

    // Where the host and port of a link whose authority starts at i end. The authority holds no
    // "/", so it never reaches the next "://": these scans never overlap.
    qsizetype authorityEnd(qsizetype i) const {
        const qsizetype n = m_text.size();
        while (i < n) {
            ++m_steps;
            qsizetype units = 1;
            if (!linkCharAt(m_text, i, &units)) break;
            const char16_t c = m_text[i].unicode();
            if (c == u'/' || c == u'?' || c == u'#') break;
            i += units;
        }
        return i;
    }

    std::optional<LinkDetector::Match> makeMatch(qsizetype start, qsizetype end,
                                                 const QString& prefix) const {
        m_steps += end - start;
        QUrl url(prefix + m_text.sliced(start, end - start).toString(), QUrl::TolerantMode);
        if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
        return LinkDetector::Match{start, end - start, url};
    }

    // A link with a scheme; colon is the position of its "://". When there is none, `resumeAt`
    // receives where scanning goes on.
    //
    // The host is checked before the path is scanned, so a run of rejected "://" (such as
    // "http:///" repeated) costs a few steps each instead of a scan to the end of the run. A
    // link whose host is sound but whose whole address is not lets scanning resume after its
    // path: no stretch of text is scanned as a path twice, which keeps the pass linear.
    std::optional<LinkDetector::Match> schemeLink(qsizetype colon, qsizetype floor,
                                                  qsizetype* resumeAt) const {
        qsizetype start = colon;
        const qsizetype lowest = std::max(floor, colon - kMaxSchemeLength);
        while (start > lowest && isSchemeChar(m_text[start - 1].unicode())) --start;
        while (start < colon && !isAsciiLetter(m_text[start].unicode())) ++start;
        m_steps += colon - lowest;
        if (start == colon) return std::nullopt;
        // Text glued in front of a web link ("打开Bilibilihttps://…" pasted without a space)
        // must not become part of its scheme.
        const QStringView scheme = m_text.sliced(start, colon - start);
        if (scheme.endsWith(u"https", Qt::CaseInsensitive) && scheme.size() > 5) {
            start = colon - 5;
        } else if (scheme.endsWith(u"http", Qt::CaseInsensitive) && scheme.size() > 4) {
            start = colon - 4;
        }
        const qsizetype hostStart = colon + 3;
        const qsizetype hostEnd = trimTrailing(hostStart, authorityEnd(hostStart));
        if (hostEnd == hostStart) return std::nullopt;
        if (!isPlausibleAuthority(m_text.sliced(hostStart, hostEnd - hostStart))) {
            return std::nullopt;
        }
        const QStringView name = m_text.sliced(start, colon - start);
        const bool web = name.compare(u"http", Qt::CaseInsensitive) == 0 ||
                         name.compare(u"https", Qt::CaseInsensitive) == 0;
        if (!makeMatch(start, hostEnd, QString())) return std::nullopt;
        const qsizetype end = trimTrailing(hostStart, pathEnd(hostStart));
        if (m_webOnly && !web) return LinkDetector::Match{start, end - start, QUrl()};
        auto match = makeMatch(start, end, QString());
        if (!match) *resumeAt = std::max(end, colon + 1);
        return match;
    }

    // A host of labels ending in a known top-level domain, with an optional port and path.
    std::optional<LinkDetector::Match> bareHostLink(qsizetype start, qsizetype* hostEnd) const {
        const qsizetype n = m_text.size();
        qsizetype i = start;
        qsizetype lastLabel = start;
        int labels = 0;
        while (true) {
            const qsizetype labelStart = i;
            while (i < n && isLabelChar(m_text[i].unicode())) ++i;
            m_steps += i - labelStart + 1;
            if (i == labelStart) break;
            lastLabel = labelStart;
            ++labels;
            if (i + 1 < n && m_text[i] == u'.' && isLabelChar(m_text[i + 1].unicode())) {
                ++i;
                continue;
            }
            break;
        }
        *hostEnd = i;
        if (labels < 2) return std::nullopt;
        // The local part of a mail address is not a host.
        if (i < n && m_text[i] == u'@') return std::nullopt;
        const QStringView topLevel = m_text.sliced(lastLabel, i - lastLabel);
        const bool www = m_text.sliced(start).startsWith(u"www.", Qt::CaseInsensitive);
        bool known = isKnownTopLevelDomain(topLevel);
        if (!known && www) {
            known = topLevel.size() >= 2 &&
                    std::all_of(topLevel.begin(), topLevel.end(),
                                [](QChar ch) { return isAsciiLetter(ch.unicode()); });
        }
        if (!known) return std::nullopt;
        qsizetype end = i;
        if (end + 1 < n && m_text[end] == u':' && m_text[end + 1].isDigit()) {
            ++end;
            const qsizetype portStart = end;
            while (end < n && m_text[end].isDigit()) ++end;
            m_steps += end - portStart;
            if (!isPlausiblePort(m_text.sliced(portStart, end - portStart))) {
                *hostEnd = end;
                return std::nullopt;
            }
        }
        if (end < n && (m_text[end] == u'/' || m_text[end] == u'?' || m_text[end] == u'#')) {
            if (!makeMatch(start, end, QStringLiteral("http://"))) return std::nullopt;
            end = trimTrailing(i, pathEnd(end));
        }
        auto match = makeMatch(start, end, QStringLiteral("http://"));
        // As with scheme links: a rejected path is never scanned again.
        if (!match) *hostEnd = end;
        return match;
    }

public:
    qsizetype steps() const { return m_steps; }

private:
    QStringView m_text;
    bool m_webOnly;
    mutable qsizetype m_steps = 0;  // characters examined, every scan counted
};

bool isWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

}  // namespace

namespace LinkDetector {

QList<Match> findAll(QStringView text) {
    QList<Match> matches;
    Scanner(text, false).scan([&](const Match& match) {
        matches.append(match);
        return false;
    });
    return matches;
}

qsizetype scanSteps(QStringView text) {
    Scanner scanner(text, false);
    scanner.scan([](const Match&) { return false; });
    return scanner.steps();
}

std::optional<QUrl> firstWebLink(QStringView text) {
    std::optional<QUrl> result;
    Scanner(text, true).scan([&](const Match& match) {
        if (!isWebScheme(match.url)) return false;
        result = match.url;
        return true;
    });
    return result;
}

}  // namespace LinkDetector
