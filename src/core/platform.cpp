#include "core/platform.h"

#include "core/link_detector.h"
#include "core/share_link.h"

#include <array>

namespace {

struct PlatformInfo {
    const char* rawValue;
    const char* name;  // UTF-8
    const char* mark;  // UTF-8
    std::array<Rgb, 3> colors;
    int colorCount;
    std::array<const char*, 3> domains;  // registrable domains, lower case; nullptr ends
};

constexpr Rgb hex(quint32 value) {
    return Rgb{quint8(value >> 16), quint8(value >> 8), quint8(value)};
}

// Indexed by Platform::Case. The Channels domain is matched together with the "/sph/" path.
const std::array<PlatformInfo, 16> kPlatforms = {{
    {"channels", "视频号", "视", {hex(0xFFB340), hex(0xF08C00)}, 2, {"weixin.qq.com"}},
    {"bilibili", "B站", "B", {hex(0xFB7299)}, 1, {"bilibili.com", "b23.tv", "bili2233.cn"}},
    {"douyin", "抖音", "抖", {hex(0x1C1E2A)}, 1, {"douyin.com", "iesdouyin.com"}},
    {"xiaohongshu",
     "小红书",
     "书",
     {hex(0xFF2442)},
     1,
     {"xiaohongshu.com", "xhslink.com", "xhslink.cn"}},
    {"weibo", "微博", "微", {hex(0xE6162D)}, 1, {"weibo.com", "weibo.cn"}},
    {"zhihu", "知乎", "知", {hex(0x0066FF)}, 1, {"zhihu.com"}},
    {"youtube", "YouTube", "▶", {hex(0xFF0033)}, 1, {"youtube.com", "youtu.be"}},
    {"tiktok", "TikTok", "♪", {hex(0x111111)}, 1, {"tiktok.com"}},
    {"instagram",
     "Instagram",
     "◎",
     {hex(0xFEDA75), hex(0xD62976), hex(0x4F5BD5)},
     3,
     {"instagram.com"}},
    {"twitter", "X", "X", {hex(0x14171A)}, 1, {"x.com", "twitter.com"}},
    {"facebook", "Facebook", "f", {hex(0x1877F2)}, 1, {"facebook.com", "fb.watch"}},
    {"reddit", "Reddit", "r", {hex(0xFF4500)}, 1, {"reddit.com", "redd.it"}},
    {"vimeo", "Vimeo", "v", {hex(0x1AB7EA)}, 1, {"vimeo.com"}},
    {"twitch", "Twitch", "T", {hex(0x9146FF)}, 1, {"twitch.tv"}},
    {"dailymotion", "Dailymotion", "d", {hex(0x0A64D6)}, 1, {"dailymotion.com", "dai.ly"}},
    {"other", "其他网站", "•", {hex(0x8E8E93)}, 1, {}},
}};

const PlatformInfo& info(Platform::Case value) {
    return kPlatforms[value];
}

bool onAny(QStringView host, const PlatformInfo& platform) {
    for (const char* domain : platform.domains) {
        if (domain == nullptr) break;
        if (hostBelongsTo(host, QLatin1StringView(domain))) return true;
    }
    return false;
}

}  // namespace

QString Platform::rawValue() const {
    return QString::fromLatin1(info(m_case).rawValue);
}
QString Platform::name() const {
    return QString::fromUtf8(info(m_case).name);
}
QString Platform::mark() const {
    return QString::fromUtf8(info(m_case).mark);
}

QList<Rgb> Platform::colors() const {
    const auto& entry = info(m_case);
    return QList<Rgb>(entry.colors.begin(), entry.colors.begin() + entry.colorCount);
}

Rgb Platform::color() const {
    const auto& entry = info(m_case);
    return entry.colors[entry.colorCount / 2];
}

bool Platform::needsVPNInChina() const {
    return m_case >= youtube && m_case <= dailymotion;
}

std::optional<Platform> Platform::fromRawValue(QStringView raw) {
    for (int i = 0; i < int(kPlatforms.size()); ++i) {
        if (raw == QLatin1StringView(kPlatforms[i].rawValue)) return Platform(Case(i));
    }
    return std::nullopt;
}

const QList<Platform>& Platform::allCases() {
    static const QList<Platform> cases = [] {
        QList<Platform> list;
        for (int i = 0; i < int(kPlatforms.size()); ++i) list.append(Platform(Case(i)));
        return list;
    }();
    return cases;
}

const QList<Platform>& Platform::supported() {
    static const QList<Platform> cases = [] {
        QList<Platform> list;
        for (Platform platform : allCases()) {
            if (platform != channels && platform != other) list.append(platform);
        }
        return list;
    }();
    return cases;
}

Platform Platform::detect(const QUrl& url) {
    const QString host = url.host().toLower();
    if (host.isEmpty()) return other;
    if (onAny(host, info(channels)) && url.path().startsWith(QStringLiteral("/sph/"))) {
        return channels;
    }
    for (int i = bilibili; i <= dailymotion; ++i) {
        if (onAny(host, kPlatforms[i])) return Platform(Case(i));
    }
    return other;
}

std::optional<QUrl> Platform::firstURL(const QString& text) {
    if (const auto share = Channels::shareLink(text)) {
        QUrl url(*share, QUrl::StrictMode);
        if (!url.isValid()) return std::nullopt;
        return url;
    }
    return LinkDetector::firstWebLink(text);
}
