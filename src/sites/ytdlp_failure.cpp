// The classification of yt-dlp's error output: an ordered table of lower-case needles, first
// match wins. The order is the point: "member" is tested before the login and network groups,
// "drm" catches any text with those letters, "ssl" any text that mentions SSL, and a text about
// ffmpeg that is not about a missing ffmpeg falls through to the default.
//
// Around those rows sit the wordings real yt-dlp outputs use that they miss. Rows that mend a
// misfire stand right ahead of the row that would get the text wrong (a rate limit is not a
// deleted video, an age gate is not a robot check, a 403 is not a time-out); rows for texts
// that would otherwise reach the default come after the other rows. Disk errors come first of
// all: yt-dlp names the file in them, and a video's title may contain any needle.

#include "sites/tools.h"
#include "sites/ytdlp.h"
#include "support/text_search.h"

#include <QStringList>

#include <functional>
#include <vector>

namespace {

using Action = Failure::Action;

// What the advice texts may draw on.
struct Context {
    Platform platform;
    std::optional<Browser> given;      // the browser whose cookies this attempt used
    std::optional<Browser> suggested;  // the given one, else the first installed, else none
    QString detail;                    // the error line quoted at the end of some advice
    const Tools::Settings* tools;      // where the install command comes from
    QString host;                      // the link's host

    // Who is meant: the platform by name, or for any other site its host ("其他网站" says
    // nothing about which site refused or could not be reached).
    QString site() const {
        return platform == Platform::other && !host.isEmpty() ? host : platform.name();
    }
    // The same at the head of a sentence, where a host stands apart from the Chinese after it.
    QString siteLead() const {
        return platform == Platform::other && !host.isEmpty() ? host + u' ' : platform.name();
    }

    // Lend cookies when none were lent and a browser is there to lend them; else only a retry
    // is left (a browser that is not installed would only make every later download fail).
    Action cookiesOrRetry() const {
        return given || !suggested ? Action(Action::retry) : Action::browserCookies(*suggested);
    }
    // The browser as the advice names it, spaced as a name among Chinese words.
    QString browser() const {
        return suggested ? u' ' + suggested->name() + u' ' : QStringLiteral("浏览器");
    }
    // The button the advice asks for: lending the cookies, or a retry once logged in.
    QString pressLend() const {
        return suggested ? QStringLiteral("点「使用 ") + suggested->name() +
                               QStringLiteral(" 的登录信息重试」")
                         : QStringLiteral("点「重试」");
    }
};

struct Row {
    QStringList needles;  // any of them
    QStringList alsoOne;  // and, when not empty, also any of these
    std::function<Failure(const Context&)> make;
    QStringList noneOf = {};  // and none of these
};

// The sites' public web domains, as in the platform table.
const QString kDouyinDomain = QStringLiteral("douyin.com");
const QString kBilibiliDomain = QStringLiteral("bilibili.com");

const QStringList kNetworkNeedles = {
    QStringLiteral("timed out"),
    QStringLiteral("unable to download webpage"),
    QStringLiteral("connection reset"),
    QStringLiteral("connection refused"),
    QStringLiteral("network is unreachable"),
    QStringLiteral("nodename nor servname"),
    QStringLiteral("name or service not known"),
    QStringLiteral("temporary failure in name resolution"),
    QStringLiteral("ssl"),
    QStringLiteral("urlopen error"),
    QStringLiteral("remote end closed"),
};

const QStringList kCookieNeedles = {
    QStringLiteral("could not find"),
    QStringLiteral("failed to decrypt"),
    QStringLiteral("keyring"),
    QStringLiteral("cookies database"),
    QStringLiteral("operation not permitted"),
    QStringLiteral("unsupported browser"),
};

// How yt-dlp also says that it could not read a browser's cookie store (Chrome's locked
// database on Windows, the DPAPI and v10/v11 encryption, the Linux secret stores).
const QStringList kMoreCookieNeedles = {
    QStringLiteral("cookie database"), QStringLiteral("could not copy"),
    QStringLiteral("cannot decrypt"),  QStringLiteral("dpapi"),
    QStringLiteral("secretstorage"),   QStringLiteral("kwallet"),
};

// yt-dlp's own words for a transfer that broke off, beyond the network group above.
const QStringList kMoreNetworkNeedles = {
    QStringLiteral("a network error has occurred"),
    QStringLiteral("incompleteread"),
    QStringLiteral("incomplete read"),
    QStringLiteral("bytes read"),
    QStringLiteral("connection aborted"),
    QStringLiteral("connectionreseterror"),
    QStringLiteral("connection broken"),
    QStringLiteral("eof occurred"),
    QStringLiteral("transporterror"),
};

// The failures several rows share.
// clang-format off
Failure loginFailure(const Context& c) {
    return Failure{QStringLiteral("这个视频需要登录才能看"),
                   QStringLiteral("在") + c.browser() + QStringLiteral("里登录 ") + c.site() +
                       QStringLiteral(" 后，") + c.pressLend() + QStringLiteral("。"),
                   {c.cookiesOrRetry()}};
}

Failure regionFailure() {
    return Failure{QStringLiteral("地区限制"), QStringLiteral("这个视频在你所在的地区不可观看。"), {}};
}

Failure networkFailure(const Context& c) {
    const QString name = c.site();
    if (c.platform.needsVPNInChina()) {
        return Failure{QStringLiteral("连接 ") + name + QStringLiteral(" 超时"),
                       name + QStringLiteral(" 在国内需要 VPN 才能访问。如果没开，请开启后点「重试」；如果已经开着，可能是线路太慢，换一个节点再试。"),
                       {Action::retry}};
    }
    return Failure{QStringLiteral("网络连接失败"),
                   QStringLiteral("连不上 ") + name +
                       QStringLiteral(" 的服务器。请检查网络；如果开着 VPN 或代理，试试切换后点「重试」。\n详情：") +
                       c.detail,
                   {Action::retry}};
}

// A disk error says what happened to the file. The tools are not at fault and no settings pane
// cures it: once the cause is gone a retry does, and the log has the full story.
Failure diskFailure(const QString& title, const QString& advice, const Context& c) {
    return Failure{title, advice + QStringLiteral("\n详情：") + c.detail,
                   {Action::retry, Action::openLogs}};
}
// clang-format on

// The user-facing texts stay whole, one literal each.
// clang-format off
const std::vector<Row>& table() {
    static const std::vector<Row> rows = {
        // Disk errors (yt-dlp's and Python's wordings, errno numbers for other locales).
        {{QStringLiteral("no space left on device"), QStringLiteral("errno 28"),
          QStringLiteral("disk quota exceeded"), QStringLiteral("errno 122")},
         {},
         [](const Context& c) {
             return diskFailure(QStringLiteral("磁盘空间不足"),
                                QStringLiteral("保存视频的磁盘满了，视频写不进去。请清理出一些空间（例如清空回收站、删掉不用的大文件），然后点「重试」。"),
                                c);
         }},
        {{QStringLiteral("read-only file system"), QStringLiteral("errno 30")},
         {},
         [](const Context& c) {
             return diskFailure(QStringLiteral("保存位置是只读的"),
                                QStringLiteral("视频要写入的磁盘是只读的，无法保存。请确认桌面和临时文件夹所在的磁盘可以写入，然后点「重试」。"),
                                c);
         }},
        {{QStringLiteral("not a directory"), QStringLiteral("errno 20"),
          QStringLiteral("is a directory"), QStringLiteral("errno 21"),
          QStringLiteral("file exists"), QStringLiteral("errno 17")},
         {},
         [](const Context& c) {
             return diskFailure(QStringLiteral("保存路径不是文件夹"),
                                QStringLiteral("保存视频要用的文件夹被一个同名的文件占了（或者反过来），所以写不进去。请检查桌面和临时文件夹里有没有这样的同名文件，移走后点「重试」。"),
                                c);
         }},
        {{QStringLiteral("permission denied"), QStringLiteral("errno 13"),
          QStringLiteral("access is denied")},
         {},
         [](const Context& c) {
             return diskFailure(QStringLiteral("没有权限写入文件"),
                                QStringLiteral("没有权限在保存位置创建文件。请确认桌面文件夹和临时文件夹属于你、可以写入，然后点「重试」。"),
                                c);
         },
         // A browser's cookie store that cannot be read is the cookie rows' business.
         {QStringLiteral("cookie")}},
        {{QStringLiteral("unable to open for writing"), QStringLiteral("unable to write data"),
          QStringLiteral("unable to create directory"), QStringLiteral("unable to rename file"),
          QStringLiteral("file name too long"), QStringLiteral("errno 36")},
         {},
         [](const Context& c) {
             return diskFailure(QStringLiteral("视频保存失败"),
                                QStringLiteral("下载的文件没能写到磁盘上。请确认桌面和临时文件夹都还在、可以写入，然后点「重试」。"),
                                c);
         }},
        {{QStringLiteral("unsupported url")},
         {},
         [](const Context&) {
             return Failure{QStringLiteral("暂不支持这个网址"),
                            QStringLiteral("确认复制的是具体视频的页面地址，而不是网站首页或个人主页。打开那条视频后再复制链接试试。"),
                            {}};
         }},
        {{QStringLiteral("drm")},
         {},
         [](const Context&) {
             return Failure{QStringLiteral("视频受 DRM 版权保护"),
                            QStringLiteral("付费或有版权保护的内容无法下载。"),
                            {}};
         }},
        {{QStringLiteral("fresh cookies")},
         {},
         [](const Context& c) {
             return Failure{QStringLiteral("抖音需要浏览器的登录信息"),
                            QStringLiteral("抖音会拦截不带 cookie 的请求。请先用") + c.browser() +
                                QStringLiteral("打开一次 ") + kDouyinDomain +
                                QStringLiteral("（不登录也可以），然后") + c.pressLend() +
                                QStringLiteral("。"),
                            {c.suggested ? Action::browserCookies(*c.suggested) : Action::retry}};
         }},
        {{QStringLiteral("http error 412"), QStringLiteral("precondition failed")},
         {},
         [](const Context& c) {
             const QString site =
                 c.platform == Platform::bilibili ? kBilibiliDomain : QStringLiteral("这个网站");
             return Failure{c.siteLead() + QStringLiteral("拦截了这次请求"),
                            QStringLiteral("网站要求带上浏览器的登录信息。请确认") + c.browser() +
                                QStringLiteral("里打开过 ") + site +
                                QStringLiteral("（登录后还能下载更高画质），然后") + c.pressLend() +
                                QStringLiteral("。"),
                            {c.cookiesOrRetry()}};
         }},
        // An age gate ("Sign in to confirm your age") is not a robot check.
        {{QStringLiteral("confirm your age"), QStringLiteral("age-restricted"),
          QStringLiteral("age restricted"), QStringLiteral("inappropriate for some users")},
         {},
         [](const Context& c) {
             return Failure{QStringLiteral("这个视频有年龄限制"),
                            QStringLiteral("网站要求登录并确认已成年才能观看。请在") + c.browser() +
                                QStringLiteral("里登录一个已满 18 岁的 ") + c.site() +
                                QStringLiteral(" 账号，然后") + c.pressLend() + QStringLiteral("。"),
                            {c.cookiesOrRetry()}};
         }},
        {{QStringLiteral("sign in to confirm"), QStringLiteral("not a bot")},
         {},
         [](const Context& c) {
             return Failure{QStringLiteral("YouTube 要求验证不是机器人"),
                            QStringLiteral("在") + c.browser() +
                                QStringLiteral("里登录 YouTube，然后") + c.pressLend() +
                                QStringLiteral("。"),
                            {c.cookiesOrRetry()}};
         }},
        {{QStringLiteral("premium"), QStringLiteral("members only"), QStringLiteral("member"),
          QStringLiteral("大会员"), QStringLiteral("会员"), QStringLiteral("付费")},
         {},
         [](const Context& c) {
             return Failure{QStringLiteral("这是会员专享内容"),
                            QStringLiteral("需要在") + c.browser() +
                                QStringLiteral("里登录有会员的账号，再用浏览器登录信息重试。"),
                            {c.cookiesOrRetry()}};
         }},
        {{QStringLiteral("private video"), QStringLiteral("login required"),
          QStringLiteral("requires authentication"),
          QStringLiteral("only available for registered users"), QStringLiteral("login to view"),
          QStringLiteral("需要登录"), QStringLiteral("please log in")},
         {},
         loginFailure},
        {{QStringLiteral("not available in your country"), QStringLiteral("geo restrict"),
          QStringLiteral("geo-restrict"), QStringLiteral("not available in your region")},
         {},
         [](const Context&) { return regionFailure(); }},
        // Today's geo-block wordings ("Video unavailable. The uploader has not made this video
        // available in your country") must not read as a deleted video.
        {{QStringLiteral("available in your country"), QStringLiteral("from your location"),
          QStringLiteral("in your area"), QStringLiteral("geo-blocked"),
          QStringLiteral("geo blocked"), QStringLiteral("地区受限"), QStringLiteral("地区不可观看")},
         {},
         [](const Context&) { return regionFailure(); }},
        // A rate limit ("Video unavailable. This content isn't available, try again later. The
        // current session has been rate-limited") is not a deleted video, nor a time-out.
        {{QStringLiteral("rate-limited"), QStringLiteral("rate limited"),
          QStringLiteral("rate limit"), QStringLiteral("http error 429"),
          QStringLiteral("too many requests")},
         {},
         [](const Context& c) {
             return Failure{QStringLiteral("请求太频繁，暂时被限制了"),
                            c.site() +
                                QStringLiteral(" 暂时限制了你这边的请求，通常是短时间内下载得太多。请过一段时间（一般不超过一小时）再点「重试」。"),
                            {Action::retry}};
         }},
        {{QStringLiteral("video unavailable"), QStringLiteral("has been removed"),
          QStringLiteral("does not exist"), QStringLiteral("been deleted"),
          QStringLiteral("http error 404"), QStringLiteral("no video formats found"),
          QStringLiteral("不存在")},
         {},
         [](const Context&) {
             return Failure{QStringLiteral("视频不存在或已被删除"),
                            QStringLiteral("链接可能复制不完整，或者视频已被删除、设为私密。请在浏览器里打开链接确认能正常播放。"),
                            {Action::retry, Action::openLink}};
         }},
        // The site answered, so neither a refusal nor a server fault is a time-out.
        {{QStringLiteral("http error 403"), QStringLiteral("403: forbidden")},
         {},
         [](const Context& c) {
             QList<Action> actions = {Action::updateTools, Action::retry};
             if (!c.given && c.suggested) actions.append(Action::browserCookies(*c.suggested));
             return Failure{c.siteLead() + QStringLiteral("拒绝了下载请求"),
                            QStringLiteral("网站拒绝了这次下载（HTTP 403），多半是网站改了规则、下载组件需要更新。请先点「更新下载组件」，更新完再点「重试」；如果仍然不行，试试用浏览器的登录信息下载。\n详情：") +
                                c.detail,
                            actions};
         }},
        {{QStringLiteral("http error 500"), QStringLiteral("http error 502"),
          QStringLiteral("http error 503"), QStringLiteral("http error 504"),
          QStringLiteral("internal server error"), QStringLiteral("bad gateway"),
          QStringLiteral("service unavailable")},
         {},
         [](const Context& c) {
             return Failure{c.site() + QStringLiteral(" 的服务器出错了"),
                            QStringLiteral("网站的服务器暂时出了问题，不是你的网络或电脑的问题。请等几分钟再点「重试」。\n详情：") +
                                c.detail,
                            {Action::retry}};
         }},
        {kNetworkNeedles, {}, networkFailure},
        {{QStringLiteral("ffmpeg")},
         {QStringLiteral("not found"), QStringLiteral("not installed")},
         [](const Context& c) {
             return Failure{QStringLiteral("缺少 ffmpeg"),
                            QStringLiteral("合并画面和声音需要 ffmpeg。打开「终端」运行：") +
                                Tools::installCommand(*c.tools),
                            {Action::copyInstallCommand, Action::retry}};
         }},
        // Below: texts that would otherwise reach the default.
        // Login and subscription walls in the sites' own words (Instagram's empty media
        // response, Twitch's subscriber-only videos, yt-dlp's "Use --cookies-from-browser").
        {{QStringLiteral("--cookies-from-browser"), QStringLiteral("--cookies for the authentication"),
          QStringLiteral("empty media response"), QStringLiteral("logged-in"),
          QStringLiteral("log in for access"), QStringLiteral("login for access"),
          QStringLiteral("subscriber"), QStringLiteral("account credentials"),
          QStringLiteral("you have to login"), QStringLiteral("requires login"),
          QStringLiteral("need to log in")},
         {},
         loginFailure},
        {{QStringLiteral("ip address is blocked"), QStringLiteral("ip is blocked"),
          QStringLiteral("blocked from accessing")},
         {},
         [](const Context& c) {
             return Failure{c.siteLead() + QStringLiteral("屏蔽了你的网络"),
                            QStringLiteral("网站暂时拒绝了来自你当前网络（IP 地址）的访问。请过一段时间再试；如果开着 VPN 或代理，换一个节点后点「重试」。"),
                            {Action::retry}};
         }},
        {kMoreNetworkNeedles, {}, networkFailure},
        {{QStringLiteral("no video could be found"), QStringLiteral("there's no video"),
          QStringLiteral("no video in this")},
         {},
         [](const Context&) {
             return Failure{QStringLiteral("这个链接里没有视频"),
                            QStringLiteral("打开的这条内容里找不到视频（可能只有文字或图片）。请确认复制的是带视频的那一条；如果在浏览器里明明能看到视频，可能是网站改版了，先点「更新下载组件」再重试。"),
                            {Action::updateTools, Action::retry}};
         }},
        // The site changed and this yt-dlp no longer understands it: updating is the remedy.
        {{QStringLiteral("please report this issue"),
          QStringLiteral("confirm you are on the latest version"),
          QStringLiteral("make sure you are using the latest version"),
          QStringLiteral("unable to extract"), QStringLiteral("requested format is not available"),
          QStringLiteral("precondition check failed"), QStringLiteral("nsig extraction failed"),
          QStringLiteral("signature extraction failed"), QStringLiteral("failed to parse json"),
          QStringLiteral("unable to continue"), QStringLiteral("only images are available"),
          QStringLiteral("not available on this app"), QStringLiteral("downloaded file is empty"),
          QStringLiteral("http error 400")},
         {},
         [](const Context& c) {
             return Failure{QStringLiteral("下载组件可能需要更新"),
                            c.site() +
                                QStringLiteral(" 可能改了网页或接口，旧版本的下载组件读不懂了。请先点「更新下载组件」，更新完成后再点「重试」。\n详情：") +
                                c.detail,
                            {Action::updateTools, Action::retry, Action::openLogs}};
         }},
    };
    return rows;
}
// clang-format on

// The line quoted as "详情": the last line mentioning ERROR (without its "ERROR: " prefixes),
// else the last line.
QString detailOf(const QString& text) {
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (!line.isEmpty()) lines.append(line);
    }
    if (lines.isEmpty()) return QStringLiteral("未知错误");
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->contains(QLatin1String("ERROR"))) {
            QString line = *it;
            return line.remove(QStringLiteral("ERROR: "));
        }
    }
    return lines.last();
}

// After a browser's cookies could not be read the attempt's browser is no longer kept, so the box
// offers trying it again (where it is installed; else the first that is) and going on without.
QList<Action> cookieReadRemedies(Browser given, const OsUtils::BrowserSupport& browsers) {
    QList<Action> actions;
    const QList<Browser> installed = Browser::installed(browsers);
    if (installed.contains(given)) {
        actions.append(Action::browserCookies(given));
    } else if (!installed.isEmpty()) {
        actions.append(Action::browserCookies(installed.first()));
    }
    actions.append(Action::forgetBrowserCookies);
    return actions;
}

}  // namespace

namespace YtDlp {

// The user-facing texts stay whole, one literal each.
// clang-format off
Failure failure(const QString& text, Platform platform, std::optional<Browser> browser,
                const Tools::Settings& tools, const OsUtils::BrowserSupport& browsers,
                const QString& host) {
    const QString low = text.toLower();
    const Context context{platform, browser, browser ? browser : Browser::suggested(browsers),
                          detailOf(text), &tools, host};

    // Reading the given browser's cookies failed: that is the problem, whatever else is said.
    if (browser && (containsAny(low, kCookieNeedles) || containsAny(low, kMoreCookieNeedles))) {
        if (*browser == Browser::safari && low.contains(QLatin1String("operation not permitted"))) {
            return Failure{
                QStringLiteral("没有权限读取 Safari 的登录信息"),
                QStringLiteral("读取 Safari 的 cookie 需要「完全磁盘访问权限」。请在设置里给「Quorvin」打开这个权限，或者在菜单「⋯ › 使用浏览器登录信息」里改用 Chrome。"),
                {Failure::Action::openFullDiskAccess, Failure::Action::retry}};
        }
        const QString name = browser->name();
        // Only a browser whose cookie key the system guards can make it ask for consent.
        const QString prompt = browsers.cookieKeyPrompt(browser->rawValue());
        return Failure{
            QStringLiteral("读取 ") + name + QStringLiteral(" 的登录信息失败"),
            (prompt.isEmpty() ? QString() : prompt + QStringLiteral("如果没有弹窗或仍然失败，")) +
                QStringLiteral("确认 ") + name +
                QStringLiteral(
                    " 里打开过这个网站，或在菜单「⋯ › 使用浏览器登录信息」里换一个浏览器。\n详情：") +
                context.detail,
            cookieReadRemedies(*browser, browsers)};
    }

    for (const Row& row : table()) {
        if (!containsAny(low, row.needles)) continue;
        if (!row.alsoOne.isEmpty() && !containsAny(low, row.alsoOne)) continue;
        if (containsAny(low, row.noneOf)) continue;
        return row.make(context);
    }
    return Failure{
        QStringLiteral("下载失败"),
        QStringLiteral("可能是网站改版了，先点「更新下载组件」再重试。\n详情：") + context.detail,
        {Failure::Action::updateTools, Failure::Action::retry, Failure::Action::openLogs}};
}
// clang-format on

}  // namespace YtDlp
