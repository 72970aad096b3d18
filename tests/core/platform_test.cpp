#include "core/platform.h"

#include <gtest/gtest.h>

#include <QSet>

#include <algorithm>

namespace {

Platform detect(const char* url) {
    return Platform::detect(QUrl(QString::fromUtf8(url)));
}

}  // namespace

TEST(PlatformTable, RawValuesRoundTripAndAreCaseSensitive) {
    ASSERT_EQ(Platform::allCases().size(), 16);
    for (Platform platform : Platform::allCases()) {
        const auto back = Platform::fromRawValue(platform.rawValue());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->value(), platform.value());
    }
    EXPECT_FALSE(Platform::fromRawValue(u"Bilibili").has_value());
    EXPECT_FALSE(Platform::fromRawValue(u"").has_value());
    EXPECT_EQ(Platform(Platform::twitter).name(), QStringLiteral("X"));
    EXPECT_EQ(Platform(Platform::twitter).rawValue(), QStringLiteral("twitter"));
}

TEST(PlatformTable, NamesMarksAndColoursAreUsable) {
    QSet<QString> names;
    for (Platform platform : Platform::allCases()) {
        const std::string raw = platform.rawValue().toStdString();
        EXPECT_FALSE(platform.name().isEmpty()) << raw;
        EXPECT_FALSE(names.contains(platform.name())) << "two sites named " << raw;
        names.insert(platform.name());
        EXPECT_FALSE(platform.mark().isEmpty()) << raw;
        EXPECT_LE(platform.mark().size(), 2) << raw;
        // The representative colour is the middle entry.
        const QList<Rgb> colors = platform.colors();
        ASSERT_FALSE(colors.isEmpty()) << raw;
        EXPECT_EQ(platform.color(), colors[colors.size() / 2]) << raw;
        const bool blocked = platform >= Platform::youtube && platform <= Platform::dailymotion;
        EXPECT_EQ(platform.needsVPNInChina(), blocked) << raw;
    }
}

TEST(PlatformDetect, EveryDomainOfEverySite) {
    const std::pair<const char*, Platform::Case> cases[] = {
        {"https://weixin.qq.com/sph/Ab12", Platform::channels},
        {"https://channels.weixin.qq.com/sph/Ab12", Platform::channels},
        {"https://www.bilibili.com/video/BV1", Platform::bilibili},
        {"https://b23.tv/TgEIXkw", Platform::bilibili},
        {"https://bili2233.cn/x", Platform::bilibili},
        {"https://v.douyin.com/MuEswcb/", Platform::douyin},
        {"https://www.iesdouyin.com/share/video/1/", Platform::douyin},
        {"https://www.xiaohongshu.com/explore/1", Platform::xiaohongshu},
        {"http://xhslink.com/a/zGL52ubtpJ20", Platform::xiaohongshu},
        {"http://xhslink.cn/o/abc", Platform::xiaohongshu},
        {"https://weibo.com/tv/show/1", Platform::weibo},
        {"https://m.weibo.cn/status/1", Platform::weibo},
        {"https://www.zhihu.com/zvideo/1", Platform::zhihu},
        {"https://www.youtube.com/watch?v=x", Platform::youtube},
        {"https://youtu.be/x", Platform::youtube},
        {"https://www.tiktok.com/@a/video/1", Platform::tiktok},
        {"https://www.instagram.com/reel/x/", Platform::instagram},
        {"https://x.com/a/status/1", Platform::twitter},
        {"https://twitter.com/a/status/1", Platform::twitter},
        {"https://www.facebook.com/watch?v=1", Platform::facebook},
        {"https://fb.watch/abc/", Platform::facebook},
        {"https://www.reddit.com/r/a/comments/b/", Platform::reddit},
        {"https://redd.it/abc", Platform::reddit},
        {"https://vimeo.com/1", Platform::vimeo},
        {"https://www.twitch.tv/videos/1", Platform::twitch},
        {"https://www.dailymotion.com/video/x1", Platform::dailymotion},
        {"https://dai.ly/x1", Platform::dailymotion},
        {"https://example.com/video.mp4", Platform::other},
    };
    QList<Platform> detectedSites;
    for (const auto& [url, expected] : cases) {
        EXPECT_EQ(detect(url), expected) << url;
        const Platform platform = detect(url);
        if (platform != Platform::channels && platform != Platform::other &&
            !detectedSites.contains(platform))
            detectedSites.append(platform);
    }
    // The sites the panel shows as supported are exactly those a link is recognised for and
    // the yt-dlp engine fetches (Channels has its own engine), in the table's order.
    std::sort(detectedSites.begin(), detectedSites.end());
    EXPECT_EQ(Platform::supported(), detectedSites);
}

TEST(PlatformDetect, HostMatchingRules) {
    EXPECT_EQ(detect("https://WWW.BILIBILI.COM/video/1"), Platform::bilibili);
    EXPECT_EQ(detect("https://m.youtube.com/watch?v=1"), Platform::youtube);
    // Same letters without a dot before them is another site.
    EXPECT_EQ(detect("https://notyoutube.com/watch"), Platform::other);
    EXPECT_EQ(detect("https://max.com/a"), Platform::other);
    EXPECT_EQ(detect("https://youtube.com.evil.example/watch"), Platform::other);
    // The Channels domain only counts with the share path.
    EXPECT_EQ(detect("https://weixin.qq.com/other/Ab12"), Platform::other);
    EXPECT_EQ(detect("https://weixin.qq.com/sph"), Platform::other);
    EXPECT_EQ(detect("/just/a/path"), Platform::other);
    EXPECT_EQ(Platform::detect(QUrl()), Platform::other);
}

TEST(PlatformHosts, BelongsOnlyAtLabelBoundaries) {
    const QLatin1StringView domain("b23.tv");
    EXPECT_TRUE(hostBelongsTo(u"b23.tv", domain));
    EXPECT_TRUE(hostBelongsTo(u"a.b.b23.tv", domain));
    EXPECT_FALSE(hostBelongsTo(u"xb23.tv", domain));
    EXPECT_FALSE(hostBelongsTo(u"23.tv", domain));
    EXPECT_FALSE(hostBelongsTo(u"", domain));
}
