#include "core/link_detector.h"
#include "core/platform.h"

#include <gtest/gtest.h>

namespace {

// What Quorvin takes from a pasted text, as the command line prints it.
std::string taken(const char* text) {
    const auto url = Platform::firstURL(QString::fromUtf8(text));
    return url ? url->toString(QUrl::FullyEncoded).toStdString() : std::string("<none>");
}

struct ShareText {
    const char* text;
    const char* link;
};

}  // namespace

// Share texts as the apps put them on the clipboard: the link with Chinese glued on either side.
TEST(FirstURL, RealShareTextsOfEverySite) {
    const ShareText cases[] = {
        {"6.17 jCu:/ 复制打开抖音，看看【兔丸儿的作品】速速换上溪哥专属壁纸 "
         "https://v.douyin.com/MuEswcb/",
         "https://v.douyin.com/MuEswcb/"},
        {"7.43 复制打开抖音，看看【某某的作品】# 搞笑 # 日常  https://v.douyin.com/iRNBkVxx/ "
         "H@V.lp 05/12 kPx:/",
         "https://v.douyin.com/iRNBkVxx/"},
        {"https://v.douyin.com/iRNBkVxx/复制此链接，打开Dou音搜索，直接观看视频！",
         "https://v.douyin.com/iRNBkVxx/"},
        {"【某视频-哔哩哔哩】 https://b23.tv/TgEIXkw", "https://b23.tv/TgEIXkw"},
        {"https://b23.tv/TgEIXkw。打扰了", "https://b23.tv/TgEIXkw"},
        {"【【4K】某视频】 https://www.bilibili.com/video/BV1GJ411x7h7/"
         "?share_source=copy_web&vd_source=abc123",
         "https://www.bilibili.com/video/BV1GJ411x7h7/?share_source=copy_web&vd_source=abc123"},
        {"64 某某发布了一篇小红书笔记，快来看吧！ 😆 Ab12Cd 😆 "
         "http://xhslink.com/a/zGL52ubtpJ20，复制本条信息，打开【小红书】App查看精彩内容！",
         "http://xhslink.com/a/zGL52ubtpJ20"},
        {"http://xhslink.com/a/zGL52ubtpJ20，复制本条信息", "http://xhslink.com/a/zGL52ubtpJ20"},
        {"http://xhslink.cn/m/3abcDEF 复制本条信息", "http://xhslink.cn/m/3abcDEF"},
        {"分享视频 https://weibo.com/tv/show/1034:4957290291609653?from=old_pc_videoshow"
         "（来自 @某某）",
         "https://weibo.com/tv/show/1034:4957290291609653?from=old_pc_videoshow"},
        {"【某问题的回答】https://www.zhihu.com/zvideo/1234567890?utm_psn=123 复制链接",
         "https://www.zhihu.com/zvideo/1234567890?utm_psn=123"},
        {"https://v.kuaishou.com/abcDEF 某某作品 复制此消息，打开【快手】直接观看！",
         "https://v.kuaishou.com/abcDEF"},
        {"https://weixin.qq.com/sph/A1b2C3d4 看看这个视频", "https://weixin.qq.com/sph/A1b2C3d4"},
        {"https://youtu.be/dQw4w9WgXcQ?si=AbCdEfGh123",
         "https://youtu.be/dQw4w9WgXcQ?si=AbCdEfGh123"},
        {"Check this out: https://www.youtube.com/watch?v=dQw4w9WgXcQ&t=42s.",
         "https://www.youtube.com/watch?v=dQw4w9WgXcQ&t=42s"},
        {"https://www.tiktok.com/@user.name/video/7234567890123456789?is_from_webapp=1",
         "https://www.tiktok.com/@user.name/video/7234567890123456789?is_from_webapp=1"},
        {"https://www.instagram.com/reel/C1a2B3c4D5e/?igsh=MWxyZ3Z4",
         "https://www.instagram.com/reel/C1a2B3c4D5e/?igsh=MWxyZ3Z4"},
        {"lol https://x.com/user/status/1790000000000000000?s=46&t=AbCd!!",
         "https://x.com/user/status/1790000000000000000?s=46&t=AbCd"},
        {"https://fb.watch/abcDEF12/", "https://fb.watch/abcDEF12/"},
        {"(https://www.reddit.com/r/videos/comments/abc123/title_here/)",
         "https://www.reddit.com/r/videos/comments/abc123/title_here/"},
        {"<https://vimeo.com/123456789>", "https://vimeo.com/123456789"},
        {"\"https://www.twitch.tv/videos/1234567890\"", "https://www.twitch.tv/videos/1234567890"},
        {"看这个 https://dai.ly/x8abcde!", "https://dai.ly/x8abcde"},
        {"“https://www.youtube.com/shorts/abc”", "https://www.youtube.com/shorts/abc"},
        {"链接：https://b23.tv/abc…", "https://b23.tv/abc"},
    };
    for (const ShareText& share : cases) EXPECT_EQ(taken(share.text), share.link) << share.text;
}

// How links reach the clipboard from chats, notes and web pages.
TEST(FirstURL, LinksInMarkupAndInvisibleSeparators) {
    EXPECT_EQ(taken("[视频](https://youtu.be/abc)"), "https://youtu.be/abc");
    EXPECT_EQ(taken("<a href=\"https://vimeo.com/1\">看</a>"), "https://vimeo.com/1");
    EXPECT_EQ(taken("【标题】 http://t.cn/A6abc12\u200b"), "http://t.cn/A6abc12");
    EXPECT_EQ(taken("https://b23.tv/abc\u00a0后面"), "https://b23.tv/abc");
    EXPECT_EQ(taken("「https://b23.tv/abc」"), "https://b23.tv/abc");
    EXPECT_EQ(taken("https://b23.tv/abc）"), "https://b23.tv/abc");
    EXPECT_EQ(taken("https://www.instagram.com/reel/ABC/?igsh=MWQ1ZGUxMzBkMA=="),
              "https://www.instagram.com/reel/ABC/?igsh=MWQ1ZGUxMzBkMA==");
    EXPECT_EQ(taken("https://v.kuaishou.com/KxYz12 “作品”该作品在快手被播放过1万次，复制此消息"),
              "https://v.kuaishou.com/KxYz12");
    EXPECT_EQ(taken("http://127.0.0.1:8080/v.mp4"), "http://127.0.0.1:8080/v.mp4");
}

TEST(FirstURL, LinksWithoutScheme) {
    EXPECT_EQ(taken("v.douyin.com/MuEswcb/ 复制打开"), "http://v.douyin.com/MuEswcb/");
    EXPECT_EQ(taken("打开www.youtube.com/watch?v=x看看"), "http://www.youtube.com/watch?v=x");
    EXPECT_EQ(taken("see b23.tv/TgEIXkw, thanks"), "http://b23.tv/TgEIXkw");
    EXPECT_EQ(taken("www.example.museum"), "http://www.example.museum");
    EXPECT_EQ(taken("example.com:8080/a"), "http://example.com:8080/a");
    // Words with dots that are no host.
    EXPECT_EQ(taken("readme.md, v1.2.3 and 6.17 jCu:/"), "<none>");
    EXPECT_EQ(taken("video.mp4"), "<none>");
}

TEST(FirstURL, BracketsAndTrailingPunctuation) {
    EXPECT_EQ(taken("https://en.wikipedia.org/wiki/Python_(language) ok"),
              "https://en.wikipedia.org/wiki/Python_(language)");
    EXPECT_EQ(taken("(see https://en.wikipedia.org/wiki/Python_(language))"),
              "https://en.wikipedia.org/wiki/Python_(language)");
    EXPECT_EQ(taken("[https://b23.tv/abc]"), "https://b23.tv/abc");
    EXPECT_EQ(taken("https://b23.tv/abc?x=1;'"), "https://b23.tv/abc?x=1");
    EXPECT_EQ(taken("https://b23.tv/abc)tail"), "https://b23.tv/abc");
    EXPECT_EQ(taken("https://b23.tv/it's"), "https://b23.tv/it's");
}

TEST(FirstURL, ChannelsLinkWinsOverAnEarlierLink) {
    EXPECT_EQ(taken("https://youtu.be/abc 然后 https://weixin.qq.com/sph/AbC_12-x，很好看"),
              "https://weixin.qq.com/sph/AbC_12-x");
    EXPECT_EQ(taken("http://weixin.qq.com/sph/AbC?x=1"), "https://weixin.qq.com/sph/AbC");
}

TEST(FirstURL, OtherSchemesAndMailAreSkipped) {
    EXPECT_EQ(taken("mail me at someone@example.com"), "<none>");
    EXPECT_EQ(taken("first.name@qq.com"), "<none>");
    EXPECT_EQ(taken("mailto:someone@example.com"), "<none>");
    EXPECT_EQ(taken("ftp://files.example.com/a.mp4"), "<none>");
    EXPECT_EQ(taken("file:///home/me/a.mp4"), "<none>");
    EXPECT_EQ(taken("ftp://files.example.com/a.mp4 then https://b23.tv/x"), "https://b23.tv/x");
    EXPECT_EQ(taken("没有链接的一段话。"), "<none>");
    EXPECT_EQ(taken(""), "<none>");
    EXPECT_EQ(taken("https:// 空的"), "<none>");
}

TEST(FirstURL, SchemeGluedToTextAndCase) {
    EXPECT_EQ(taken("打开Bilibilihttps://b23.tv/abc"), "https://b23.tv/abc");
    EXPECT_EQ(taken("HTTPS://B23.TV/Abc"), "https://b23.tv/Abc");
}

TEST(FirstURL, NonLatinPathsContinueButCjkEnds) {
    EXPECT_EQ(taken("https://ru.wikipedia.org/wiki/Москва"),
              "https://ru.wikipedia.org/wiki/%D0%9C%D0%BE%D1%81%D0%BA%D0%B2%D0%B0");
    EXPECT_EQ(taken("https://b23.tv/abc视频"), "https://b23.tv/abc");
    EXPECT_EQ(taken("https://b23.tv/abc　全角空格"), "https://b23.tv/abc");
    EXPECT_EQ(taken("https://b23.tv/abc😆"), "https://b23.tv/abc");
}

TEST(LinkDetector, ReportsEveryLinkInOrderWithOffsets) {
    const QString text = QStringLiteral("一 https://a.com/x 二 ftp://b.com 三 www.c.com");
    const auto matches = LinkDetector::findAll(text);
    ASSERT_EQ(matches.size(), 3);
    EXPECT_EQ(text.mid(matches[0].start, matches[0].length), QStringLiteral("https://a.com/x"));
    EXPECT_EQ(matches[1].url.scheme(), QStringLiteral("ftp"));
    EXPECT_EQ(matches[2].url.toString(), QStringLiteral("http://www.c.com"));
}

TEST(LinkDetector, AdversarialTextsEndQuickly) {
    // Shapes that make naive scanners quadratic; each must simply give an answer.
    const QString dots = QStringLiteral("a.").repeated(200000);
    EXPECT_FALSE(LinkDetector::firstWebLink(dots).has_value());
    const QString colons = QStringLiteral("://").repeated(200000);
    EXPECT_FALSE(LinkDetector::firstWebLink(colons).has_value());
    const QString mails = QStringLiteral("x.com@").repeated(100000);
    EXPECT_FALSE(LinkDetector::firstWebLink(mails).has_value());
    const QString nested = QStringLiteral("https://a.com/") + QStringLiteral("(").repeated(100000);
    EXPECT_TRUE(LinkDetector::firstWebLink(nested).has_value());
}

TEST(LinkDetector, WorkGrowsLinearlyOnHostileText) {
    // Every scan counted: four times the text must cost about four times the work, never the
    // sixteen times of a scanner that rescans the rest of a run at each rejected "://".
    const QString units[] = {
        QStringLiteral("http:///"),         QStringLiteral("http://"),
        QStringLiteral("a://a:"),           QStringLiteral("http://a.com:99999/("),
        QStringLiteral("a.com:99999/,"),    QStringLiteral("https://[::1/x"),
        QStringLiteral("x.com@http:///x/"), QStringLiteral("ab.cd.ef.gh."),
    };
    for (const QString& unit : units) {
        const QString small = unit.repeated(4000);
        const QString large = unit.repeated(16000);
        const qsizetype smallSteps = LinkDetector::scanSteps(small);
        const qsizetype largeSteps = LinkDetector::scanSteps(large);
        EXPECT_LE(largeSteps, 5 * smallSteps) << unit.toStdString();
        EXPECT_LE(largeSteps, 40 * large.size()) << unit.toStdString();
    }
}

TEST(LinkDetector, LinkAfterRejectedSchemesInOneRunIsFound) {
    const QString text =
        QStringLiteral("http:///").repeated(1000) + QStringLiteral("https://a.com/v");
    EXPECT_EQ(LinkDetector::firstWebLink(text), QUrl(QStringLiteral("https://a.com/v")));
    EXPECT_EQ(LinkDetector::firstWebLink(QStringLiteral("ftp:///https://b.com/x")),
              QUrl(QStringLiteral("https://b.com/x")));
}
