#include "common/test_support.h"
#include "osutils/linux/linux_browser_support.h"
#include "sites/installation.h"
#include "sites/site_test_support.h"
#include "sites/tools.h"
#include "sites/ytdlp.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

using Action = Failure::Action;

class Classification : public ::testing::Test {
protected:
    void SetUp() override {
        // A desktop where Chrome has a profile, unless a test removes it.
        m_root = TestSupport::home() + QStringLiteral("/root");
        QDir(m_root).removeRecursively();
        install(QStringLiteral(".config/google-chrome"));
    }
    // Browsers are found by their profile folders in the home.
    void install(const QString& profile) { QDir().mkpath(folder(profile)); }
    void uninstall(const QString& profile) { QDir(folder(profile)).removeRecursively(); }
    QString folder(const QString& profile) const {
        return m_root + QDir::homePath() + u'/' + profile;
    }

    QString m_root;
};

Failure classify(const char* text, Platform platform = Platform::youtube,
                 std::optional<Browser> browser = std::nullopt) {
    const OsUtils::LinuxBrowserSupport browsers(TestSupport::home() + QStringLiteral("/root"));
    // A system whose package manager nobody names: the install command is Homebrew's.
    Tools::Settings settings;
    settings.osReleasePath = TestSupport::home() + QStringLiteral("/root/etc/os-release");
    return YtDlp::failure(QString::fromUtf8(text), platform, browser, settings, browsers);
}

}  // namespace

TEST_F(Classification, DefaultFailureQuotesTheLastErrorLine) {
    const Failure empty = classify("");
    EXPECT_EQ(empty.title, u"下载失败");
    EXPECT_EQ(empty.advice, u"可能是网站改版了，先点「更新下载组件」再重试。\n详情：未知错误");
    EXPECT_EQ(empty.actions, (QList<Action>{Action::updateTools, Action::retry, Action::openLogs}));
    EXPECT_FALSE(empty.isCancel);

    const Failure quoted = classify(
        "[x] a: Downloading\nERROR: [x] a: Something broke\nWARNING: ignoring later trouble\n");
    EXPECT_EQ(quoted.advice,
              u"可能是网站改版了，先点「更新下载组件」再重试。\n详情：[x] a: Something broke");

    EXPECT_TRUE(classify("one\ntwo\n\n").advice.endsWith(u"详情：two"));
    // An ffmpeg message that is not about a missing ffmpeg falls through to the default.
    EXPECT_EQ(classify("ERROR: Postprocessing: ffmpeg exited with code 1").title, u"下载失败");
}

TEST_F(Classification, AnySiteOutsideThePlatformsIsNamedByItsHost) {
    const OsUtils::LinuxBrowserSupport browsers(TestSupport::home() + QStringLiteral("/root"));
    const auto forHost = [&](const char* text, const QString& host) {
        return YtDlp::failure(QString::fromUtf8(text), Platform::other, std::nullopt,
                              Tools::Settings{}, browsers, host);
    };
    EXPECT_EQ(forHost("ERROR: HTTP Error 403: Forbidden", QStringLiteral("www.example.org")).title,
              u"www.example.org 拒绝了下载请求");
    // Without a link (a pasted error text) the generic name stays; a platform keeps its name.
    EXPECT_EQ(forHost("ERROR: HTTP Error 403: Forbidden", QString()).title,
              u"其他网站拒绝了下载请求");
    EXPECT_EQ(
        YtDlp::failure(QStringLiteral("ERROR: HTTP Error 403: Forbidden"), Platform::youtube,
                       std::nullopt, Tools::Settings{}, browsers, QStringLiteral("www.youtube.com"))
            .title,
        u"YouTube拒绝了下载请求");
}

TEST_F(Classification, CookieProblemsOnlyWhenABrowserWasLent) {
    const char* denied =
        "ERROR: Unsupported URL\nPermissionError: [Errno 1] Operation Not Permitted";
    const Failure safari = classify(denied, Platform::youtube, Browser::safari);
    EXPECT_EQ(safari.title, u"没有权限读取 Safari 的登录信息");
    EXPECT_EQ(
        safari.advice,
        u"读取 Safari 的 cookie 需要「完全磁盘访问权限」。请在设置里给「Quorvin」打开这个权限，"
        u"或者在菜单「⋯ › 使用浏览器登录信息」里改用 Chrome。");
    EXPECT_EQ(safari.actions, (QList<Action>{Action::openFullDiskAccess, Action::retry}));

    const Failure firefox = classify(denied, Platform::youtube, Browser::firefox);
    EXPECT_EQ(firefox.title, u"读取 Firefox 的登录信息失败");
    // Firefox keeps its cookies unencrypted: no keyring is asked, so none is mentioned.
    EXPECT_EQ(firefox.advice,
              u"确认 Firefox 里打开过这个网站，或在菜单「⋯ › 使用浏览器登录信息」里换一个浏览器。"
              u"\n详情：Unsupported URL");
    // Firefox has no profile here: the box offers the browser that has one, or none at all.
    EXPECT_EQ(firefox.actions, (QList<Action>{Action::browserCookies(Browser::chrome),
                                              Action::forgetBrowserCookies}));

    // Chrome's cookie key is in the desktop's keyring, which may ask to be unlocked.
    const Failure chrome = classify("ERROR: could not find chrome cookies database",
                                    Platform::youtube, Browser::chrome);
    EXPECT_EQ(chrome.title, u"读取 Chrome 的登录信息失败");
    EXPECT_EQ(chrome.advice,
              u"系统弹出解锁密钥环的窗口时，请输入登录密码并允许。如果没有弹窗或仍然失败，确认 "
              u"Chrome 里打开过这个网站，或在菜单「⋯ › 使用浏览器登录信息」里换一个浏览器。\n详情："
              u"could not find chrome cookies database");
    EXPECT_EQ(chrome.actions, (QList<Action>{Action::browserCookies(Browser::chrome),
                                             Action::forgetBrowserCookies}));
    // Without a lent browser the same words go through the general table.
    EXPECT_EQ(classify(denied).title, u"暂不支持这个网址");
    EXPECT_EQ(classify("ERROR: Operation not permitted").title, u"下载失败");
}

TEST_F(Classification, RowsWithoutRemedies) {
    const Failure unsupported = classify("ERROR: Unsupported URL: https://example.com/");
    EXPECT_EQ(unsupported.title, u"暂不支持这个网址");
    EXPECT_EQ(unsupported.advice,
              u"确认复制的是具体视频的页面地址，而不是网站首页或个人主页。打开那条视频后再复制链接"
              u"试试。");
    EXPECT_TRUE(unsupported.actions.isEmpty());

    EXPECT_EQ(classify("ERROR: This video is DRM protected").title, u"视频受 DRM 版权保护");
    EXPECT_EQ(classify("ERROR: This video is DRM protected").advice,
              u"付费或有版权保护的内容无法下载。");
    const Failure geo = classify("ERROR: [vimeo] 1: This video is not available in your country");
    EXPECT_EQ(geo.title, u"地区限制");
    EXPECT_EQ(geo.advice, u"这个视频在你所在的地区不可观看。");
    EXPECT_TRUE(geo.actions.isEmpty());
    EXPECT_EQ(classify("ERROR: This video is geo-restricted").title, u"地区限制");
    EXPECT_EQ(classify("not available from your location due to geo restriction").title,
              u"地区限制");
}

TEST_F(Classification, DouyinFreshCookiesAlwaysOffersTheBrowser) {
    uninstall(QStringLiteral(".config/google-chrome"));
    install(QStringLiteral(".mozilla/firefox"));
    const Failure failure =
        classify("ERROR: [Douyin] 7: Fresh cookies (not necessarily logged in) are needed",
                 Platform::douyin, Browser::edge);
    EXPECT_EQ(failure.title, u"抖音需要浏览器的登录信息");
    EXPECT_EQ(failure.advice,
              u"抖音会拦截不带 cookie 的请求。请先用 Edge 打开一次 douyin.com（不登录也可以），"
              u"然后点「使用 Edge 的登录信息重试」。");
    EXPECT_EQ(failure.actions, QList<Action>{Action::browserCookies(Browser::edge)});
    EXPECT_EQ(classify("fresh cookies", Platform::douyin).actions,
              QList<Action>{Action::browserCookies(Browser::firefox)});
}

TEST_F(Classification, PreconditionFailedNamesBilibiliOrThisSite) {
    const Failure bilibili =
        classify("ERROR: [BiliBili] 1: HTTP Error 412: Precondition Failed", Platform::bilibili);
    EXPECT_EQ(bilibili.title, u"B站拦截了这次请求");
    EXPECT_EQ(bilibili.advice,
              u"网站要求带上浏览器的登录信息。请确认 Chrome 里打开过 "
              u"bilibili.com（登录后还能下载更高画质），"
              u"然后点「使用 Chrome 的登录信息重试」。");
    EXPECT_EQ(bilibili.actions, QList<Action>{Action::browserCookies(Browser::chrome)});
    const Failure douyin = classify("HTTP Error 412", Platform::douyin, Browser::chrome);
    EXPECT_EQ(douyin.title, u"抖音拦截了这次请求");
    EXPECT_TRUE(douyin.advice.contains(u"里打开过 这个网站（"));
    EXPECT_EQ(douyin.actions, QList<Action>{Action::retry});
}

TEST_F(Classification, BotCheckOffersCookiesOnceThenRetry) {
    install(QStringLiteral(".config/google-chrome"));
    const char* bot =
        "ERROR: [youtube] x: Sign in to confirm you’re not a bot. Use --cookies-from-browser";
    const Failure first = classify(bot);
    EXPECT_EQ(first.title, u"YouTube 要求验证不是机器人");
    EXPECT_EQ(first.advice, u"在 Chrome 里登录 YouTube，然后点「使用 Chrome 的登录信息重试」。");
    EXPECT_EQ(first.actions, QList<Action>{Action::browserCookies(Browser::chrome)});
    EXPECT_EQ(classify(bot, Platform::youtube, Browser::chrome).actions,
              QList<Action>{Action::retry});
}

TEST_F(Classification, MembersComeBeforeLoginAndNetwork) {
    const Failure members =
        classify("ERROR: Join this channel to get access to members-only content. Timed out.",
                 Platform::youtube);
    EXPECT_EQ(members.title, u"这是会员专享内容");
    EXPECT_EQ(members.advice, u"需要在 Chrome 里登录有会员的账号，再用浏览器登录信息重试。");
    EXPECT_EQ(classify("该视频为大会员专享", Platform::bilibili).title, u"这是会员专享内容");
    EXPECT_EQ(classify("付费内容", Platform::bilibili, Browser::firefox).actions,
              QList<Action>{Action::retry});

    const Failure login = classify("ERROR: [instagram] x: Requires authentication; login required",
                                   Platform::instagram, Browser::firefox);
    EXPECT_EQ(login.title, u"这个视频需要登录才能看");
    EXPECT_EQ(login.advice, u"在 Firefox 里登录 Instagram 后，点「使用 Firefox 的登录信息重试」。");
    EXPECT_EQ(login.actions, QList<Action>{Action::retry});
    EXPECT_EQ(classify("ERROR: Private video. Sign in if you've been granted access").title,
              u"这个视频需要登录才能看");
}

TEST_F(Classification, MissingVideos) {
    for (const char* text : {"ERROR: [youtube] x: Video unavailable",
                             "ERROR: Unable to download webpage: HTTP Error 404: Not Found",
                             "ERROR: [generic] No video formats found!", "ERROR: 视频不存在"}) {
        const Failure failure = classify(text);
        EXPECT_EQ(failure.title, u"视频不存在或已被删除") << text;
        EXPECT_EQ(failure.advice,
                  u"链接可能复制不完整，或者视频已被删除、设为私密。请在浏览器里打开链接确认能正常"
                  u"播放。");
        // The advice asks to open the link in the browser: a button does that.
        EXPECT_EQ(failure.actions, (QList<Action>{Action::retry, Action::openLink}));
    }
}

TEST_F(Classification, NetworkTroubleDependsOnTheVpnRoute) {
    const char* timeout =
        "WARNING: retrying\nERROR: [youtube] x: Unable to download webpage: "
        "<urlopen error timed out> (caused by TransportError('timed out'))\n";
    const Failure youtube = classify(timeout, Platform::youtube);
    EXPECT_EQ(youtube.title, u"连接 YouTube 超时");
    EXPECT_EQ(youtube.advice,
              u"YouTube 在国内需要 VPN 才能访问。如果没开，请开启后点「重试」；如果已经开着，"
              u"可能是线路太慢，换一个节点再试。");
    EXPECT_EQ(youtube.actions, QList<Action>{Action::retry});

    const Failure weibo = classify(timeout, Platform::weibo);
    EXPECT_EQ(weibo.title, u"网络连接失败");
    EXPECT_EQ(
        weibo.advice,
        u"连不上 微博 的服务器。请检查网络；如果开着 VPN 或代理，试试切换后点「重试」。\n详情："
        u"[youtube] x: Unable to download webpage: <urlopen error timed out> (caused by "
        u"TransportError('timed out'))");
    EXPECT_EQ(classify("[SSL: CERTIFICATE_VERIFY_FAILED]", Platform::other).title, u"网络连接失败");
    EXPECT_EQ(classify("Connection refused", Platform::other).title, u"网络连接失败");
}

TEST_F(Classification, MissingFfmpeg) {
    const Failure failure = classify("ERROR: ffmpeg not found. Please install or provide the path");
    EXPECT_EQ(failure.title, u"缺少 ffmpeg");
    EXPECT_EQ(failure.advice,
              u"合并画面和声音需要 ffmpeg。打开「终端」运行：brew install yt-dlp ffmpeg deno");
    EXPECT_EQ(failure.actions, (QList<Action>{Action::copyInstallCommand, Action::retry}));
    EXPECT_EQ(classify("ffmpeg is not installed").title, u"缺少 ffmpeg");
}

TEST_F(Classification, SuggestsTheFirstInstalledBrowser) {
    uninstall(QStringLiteral(".config/google-chrome"));
    install(QStringLiteral(".mozilla/firefox"));
    EXPECT_EQ(classify("not a bot").actions,
              QList<Action>{Action::browserCookies(Browser::firefox)});
}

// Texts the table above left to the default, or got wrong: each row and each mend, with the
// real wording it is for.
TEST_F(Classification, DiskErrorsSayWhatHappenedAndNeverBlameTheTools) {
    const struct {
        const char* text;
        const char16_t* title;
    } cases[] = {
        {"ERROR: unable to write data: [Errno 28] No space left on device", u"磁盘空间不足"},
        {"ERROR: Unable to download video: [Errno 30] Read-only file system: 'a.json'",
         u"保存位置是只读的"},
        {"ERROR: unable to create directory [Errno 20] Not a directory: '/home/u/Desktop/x'",
         u"保存路径不是文件夹"},
        {"ERROR: unable to create directory [Errno 17] File exists: '/tmp/q'",
         u"保存路径不是文件夹"},
        {"PermissionError: [Errno 13] Permission denied: '/.cache'", u"没有权限写入文件"},
        {"ERROR: unable to open for writing: [Errno 2] No such file or directory", u"视频保存失败"},
        // The file named in the line carries the video's title, whatever words it holds.
        {"ERROR: unable to write data: [Errno 28] No space left on device: 'Premium SSL DRM "
         "member video.mp4.part'",
         u"磁盘空间不足"},
    };
    for (const auto& each : cases) {
        const Failure failure = classify(each.text, Platform::bilibili);
        EXPECT_EQ(failure.title, QString::fromUtf16(each.title)) << each.text;
        EXPECT_EQ(failure.actions, (QList<Action>{Action::retry, Action::openLogs})) << each.text;
        EXPECT_FALSE(failure.advice.contains(u"更新下载组件")) << each.text;
        EXPECT_FALSE(failure.advice.contains(u"隐私")) << each.text;
    }
    EXPECT_EQ(
        classify("ERROR: unable to write data: [Errno 28] No space left on device").advice,
        u"保存视频的磁盘满了，视频写不进去。请清理出一些空间（例如清空回收站、删掉不用的大文件），"
        u"然后点「重试」。\n详情：unable to write data: [Errno 28] No space left on device");
    // A browser's cookie store that cannot be read is not a disk error.
    EXPECT_EQ(classify("PermissionError: [Errno 13] Permission denied: '/home/u/.config/chromium/"
                       "Default/Cookies'\nERROR: could not find chromium cookies database",
                       Platform::youtube, Browser::chrome)
                  .title,
              u"读取 Chrome 的登录信息失败");
}

TEST_F(Classification, MendsStandAheadOfTheRowsThatGotThemWrong) {
    // A rate limit is not a deleted video, nor a time-out.
    const Failure limited = classify(
        "ERROR: [youtube] x: Video unavailable. This content isn't available, try again later. "
        "The current session has been rate-limited by YouTube for up to an hour.");
    EXPECT_EQ(limited.title, u"请求太频繁，暂时被限制了");
    EXPECT_EQ(limited.advice,
              u"YouTube 暂时限制了你这边的请求，通常是短时间内下载得太多。"
              u"请过一段时间（一般不超过一小时）再点「重试」。");
    EXPECT_EQ(limited.actions, QList<Action>{Action::retry});
    EXPECT_EQ(
        classify("ERROR: Unable to download webpage: HTTP Error 429: Too Many Requests").title,
        u"请求太频繁，暂时被限制了");
    // Today's geo-block wording is not a deleted video either.
    EXPECT_EQ(
        classify("ERROR: [youtube] x: Video unavailable. The uploader has not made this video "
                 "available in your country")
            .title,
        u"地区限制");
    EXPECT_EQ(classify("[BiliIntl] Unable to download video formats: BiliIntl said: 版权地区受限",
                       Platform::bilibili)
                  .title,
              u"地区限制");
    // An age gate is not a robot check.
    const Failure age = classify(
        "ERROR: [youtube] x: Sign in to confirm your age. This video may be inappropriate "
        "for some users. Use --cookies-from-browser or --cookies for the authentication.");
    EXPECT_EQ(age.title, u"这个视频有年龄限制");
    EXPECT_EQ(age.advice,
              u"网站要求登录并确认已成年才能观看。请在 Chrome 里登录一个已满 18 岁的 "
              u"YouTube 账号，然后点「使用 Chrome 的登录信息重试」。");
    EXPECT_EQ(age.actions, QList<Action>{Action::browserCookies(Browser::chrome)});
    // A refusal is not a time-out: the site answered. Update first, then cookies.
    const Failure refused =
        classify("ERROR: [youtube] x: Unable to download webpage: HTTP Error 403: Forbidden");
    EXPECT_EQ(refused.title, u"YouTube拒绝了下载请求");
    EXPECT_EQ(refused.actions, (QList<Action>{Action::updateTools, Action::retry,
                                              Action::browserCookies(Browser::chrome)}));
    EXPECT_EQ(classify("ERROR: unable to download video data: HTTP Error 403: Forbidden",
                       Platform::youtube, Browser::firefox)
                  .actions,
              (QList<Action>{Action::updateTools, Action::retry}));
    // A server fault is the server's.
    const Failure server = classify(
        "ERROR: [vimeo] 1: Unable to download webpage: HTTP Error 503: Service Unavailable",
        Platform::vimeo);
    EXPECT_EQ(server.title, u"Vimeo 的服务器出错了");
    EXPECT_FALSE(server.advice.contains(u"检查网络"));
}

TEST_F(Classification, RowsBeyondTheTableBeforeTheDefault) {
    // The site changed: updating comes first.
    for (const char* text :
         {"ERROR: [youtube] x: Requested format is not available. Use --list-formats for a list "
          "of available formats",
          "ERROR: [TikTok] 1: Unable to extract webpage video data; please report this issue on  "
          "https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate issue "
          "template. Confirm you are on the latest version using  yt-dlp -U",
          "WARNING: [youtube] YouTube said: ERROR - Precondition check failed."}) {
        const Failure failure = classify(text, Platform::tiktok);
        EXPECT_EQ(failure.title, u"下载组件可能需要更新") << text;
        EXPECT_EQ(failure.actions,
                  (QList<Action>{Action::updateTools, Action::retry, Action::openLogs}));
        EXPECT_TRUE(failure.advice.startsWith(u"TikTok 可能改了网页或接口")) << text;
    }
    // Login walls in the sites' own words get the login row, with the browser remedy.
    for (const char* text :
         {"ERROR: [Instagram] x: Instagram sent an empty media response. Check if this post is "
          "accessible in your browser without being logged-in. If it is not, then use "
          "--cookies-from-browser or --cookies for the authentication.",
          "ERROR: [twitch:vod] v1: This video is only available to subscribers"}) {
        const Failure failure = classify(text, Platform::instagram);
        EXPECT_EQ(failure.title, u"这个视频需要登录才能看") << text;
        EXPECT_EQ(failure.actions, QList<Action>{Action::browserCookies(Browser::chrome)});
    }
    // yt-dlp's own network wordings.
    EXPECT_EQ(classify("ERROR: [BiliBili] Unable to download JSON metadata: IncompleteRead(14339 "
                       "bytes read)",
                       Platform::bilibili)
                  .title,
              u"网络连接失败");
    EXPECT_EQ(classify("ERROR: A network error has occurred.", Platform::youtube).title,
              u"连接 YouTube 超时");
    // Cookie-store wordings, for the chosen browser only.
    const char* locked =
        "ERROR: Could not copy Chrome cookie database. See "
        "https://github.com/yt-dlp/yt-dlp/issues/7271 for more info";
    EXPECT_EQ(classify(locked, Platform::youtube, Browser::edge).title,
              u"读取 Edge 的登录信息失败");
    EXPECT_EQ(classify("ERROR: cannot decrypt v10 cookies: no key found", Platform::youtube,
                       Browser::chrome)
                  .title,
              u"读取 Chrome 的登录信息失败");
    EXPECT_NE(classify(locked).title, u"读取 Chrome 的登录信息失败");
    // No video on the page.
    const Failure empty =
        classify("ERROR: [twitter] 1: No video could be found in this tweet", Platform::twitter);
    EXPECT_EQ(empty.title, u"这个链接里没有视频");
    EXPECT_EQ(empty.actions, (QList<Action>{Action::updateTools, Action::retry}));
    // An address the site blocks.
    EXPECT_EQ(classify("ERROR: [TikTok] 1: Your IP address is blocked from accessing this post",
                       Platform::tiktok)
                  .title,
              u"TikTok屏蔽了你的网络");
}

// With no browser profile on the machine no remedy may store a browser: every later download
// would fail reading its cookies. The advice then asks for a retry, never for a button that is
// not there; a browser whose cookies could not be read leaves only the way out.
TEST_F(Classification, NoBrowserRemedyWithoutAnInstalledBrowser) {
    uninstall(QStringLiteral(".config/google-chrome"));
    for (const auto& [text, platform] : std::initializer_list<std::pair<const char*, Platform>>{
             {"ERROR: [youtube] x: Sign in to confirm you’re not a bot.", Platform::youtube},
             {"ERROR: [youtube] x: Sign in to confirm your age.", Platform::youtube},
             {"ERROR: [instagram] x: login required", Platform::instagram},
             {"ERROR: Fresh cookies (not necessarily logged in) are needed", Platform::douyin},
             {"ERROR: HTTP Error 412: Precondition Failed", Platform::bilibili},
             {"ERROR: members only", Platform::youtube},
             {"ERROR: HTTP Error 403: Forbidden", Platform::youtube}}) {
        const Failure failure = classify(text, platform);
        for (const Action& action : failure.actions) {
            EXPECT_NE(action.kind(), Action::useBrowserCookies) << text;
        }
        EXPECT_FALSE(failure.advice.contains(u"Chrome")) << text;
        EXPECT_FALSE(failure.advice.contains(u"的登录信息重试」")) << text;
    }
    EXPECT_EQ(classify("not a bot").advice, u"在浏览器里登录 YouTube，然后点「重试」。");

    const Failure unread = classify("ERROR: could not find chrome cookies database",
                                    Platform::youtube, Browser::chrome);
    EXPECT_EQ(unread.actions, QList<Action>{Action::forgetBrowserCookies});
    // A snap's or a flatpak's profile counts like any other.
    install(QStringLiteral("snap/chromium/common/chromium"));
    EXPECT_EQ(classify("not a bot").actions,
              QList<Action>{Action::browserCookies(Browser::chromium)});
    install(QStringLiteral(".var/app/org.mozilla.firefox/.mozilla/firefox"));
    EXPECT_EQ(
        classify("could not find firefox cookies database", Platform::youtube, Browser::firefox)
            .actions,
        (QList<Action>{Action::browserCookies(Browser::firefox), Action::forgetBrowserCookies}));
}

// Every menu path an advice names («⋯ › …») is a label the ⋯ menu really shows.
TEST_F(Classification, AdviceNamesTheMenuAsItIsLabelled) {
    QFile menuFile(QStringLiteral(QUORVIN_FIXTURES "/../../src/gui/qml/MoreEntries.qml"));
    ASSERT_TRUE(menuFile.open(QIODevice::ReadOnly));
    const QString menu = QString::fromUtf8(menuFile.readAll());
    const QList<Failure> failures = {
        classify("Operation not permitted", Platform::youtube, Browser::safari),
        classify("could not find chrome cookies database", Platform::youtube, Browser::chrome),
        classify("ERROR: failed to decrypt cookie", Platform::bilibili, Browser::firefox)};
    int paths = 0;
    for (const Failure& failure : failures) {
        const QRegularExpression path(QStringLiteral("「⋯ › ([^」]+)」"));
        for (const auto& match : path.globalMatch(failure.advice)) {
            ++paths;
            EXPECT_TRUE(menu.contains(u'"' + match.captured(1) + u'"'))
                << match.captured(1).toStdString();
        }
    }
    EXPECT_EQ(paths, failures.size());
}
