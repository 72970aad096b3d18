// The classification of yt-dlp's error output: an ordered table of lower-case needles, first
// match wins. The order is the point: "member" is tested before the login and network groups,
// "drm" catches any text with those letters, "ssl" any text that mentions SSL, and a text about
// ffmpeg that is not about a missing ffmpeg falls through to the default.

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
    std::optional<Browser> given;  // the browser whose cookies this attempt used
    Browser suggested;             // the given one, else the first installed
    QString detail;                // the error line quoted at the end of some advice

    // Lend cookies when none were lent; when they were, only a retry is left.
    Action cookiesOrRetry() const {
        return given ? Action(Action::retry) : Action::browserCookies(suggested);
    }
};

struct Row {
    QStringList needles;  // any of them
    QStringList alsoOne;  // and, when not empty, also any of these
    std::function<Failure(const Context&)> make;
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

// The user-facing texts stay whole, one literal each.
// clang-format off
const std::vector<Row>& table() {
    static const std::vector<Row> rows = {
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
             const QString b = c.suggested.name();
             return Failure{QStringLiteral("抖音需要浏览器的登录信息"),
                            QStringLiteral("抖音会拦截不带 cookie 的请求。请先用 ") + b +
                                QStringLiteral(" 打开一次 ") + kDouyinDomain +
                                QStringLiteral("（不登录也可以），然后点「使用 ") + b +
                                QStringLiteral(" 的登录信息重试」。"),
                            {Action::browserCookies(c.suggested)}};
         }},
        {{QStringLiteral("http error 412"), QStringLiteral("precondition failed")},
         {},
         [](const Context& c) {
             const QString b = c.suggested.name();
             const QString site =
                 c.platform == Platform::bilibili ? kBilibiliDomain : QStringLiteral("这个网站");
             return Failure{c.platform.name() + QStringLiteral("拦截了这次请求"),
                            QStringLiteral("网站要求带上浏览器的登录信息。请确认 ") + b +
                                QStringLiteral(" 里打开过 ") + site +
                                QStringLiteral("（登录后还能下载更高画质），然后点「使用 ") + b +
                                QStringLiteral(" 的登录信息重试」。"),
                            {c.cookiesOrRetry()}};
         }},
        {{QStringLiteral("sign in to confirm"), QStringLiteral("not a bot")},
         {},
         [](const Context& c) {
             const QString b = c.suggested.name();
             return Failure{QStringLiteral("YouTube 要求验证不是机器人"),
                            QStringLiteral("在 ") + b +
                                QStringLiteral(" 里登录 YouTube，然后点「使用 ") + b +
                                QStringLiteral(" 的登录信息重试」。"),
                            {c.cookiesOrRetry()}};
         }},
        {{QStringLiteral("premium"), QStringLiteral("members only"), QStringLiteral("member"),
          QStringLiteral("大会员"), QStringLiteral("会员"), QStringLiteral("付费")},
         {},
         [](const Context& c) {
             return Failure{QStringLiteral("这是会员专享内容"),
                            QStringLiteral("需要在 ") + c.suggested.name() +
                                QStringLiteral(" 里登录有会员的账号，再用浏览器登录信息重试。"),
                            {c.cookiesOrRetry()}};
         }},
        {{QStringLiteral("private video"), QStringLiteral("login required"),
          QStringLiteral("requires authentication"),
          QStringLiteral("only available for registered users"), QStringLiteral("login to view"),
          QStringLiteral("需要登录"), QStringLiteral("please log in")},
         {},
         [](const Context& c) {
             const QString b = c.suggested.name();
             return Failure{QStringLiteral("这个视频需要登录才能看"),
                            QStringLiteral("在 ") + b + QStringLiteral(" 里登录 ") +
                                c.platform.name() + QStringLiteral(" 后，点「使用 ") + b +
                                QStringLiteral(" 的登录信息重试」。"),
                            {c.cookiesOrRetry()}};
         }},
        {{QStringLiteral("not available in your country"), QStringLiteral("geo restrict"),
          QStringLiteral("geo-restrict"), QStringLiteral("not available in your region")},
         {},
         [](const Context&) {
             return Failure{QStringLiteral("地区限制"),
                            QStringLiteral("这个视频在你所在的地区不可观看。"),
                            {}};
         }},
        {{QStringLiteral("video unavailable"), QStringLiteral("has been removed"),
          QStringLiteral("does not exist"), QStringLiteral("been deleted"),
          QStringLiteral("http error 404"), QStringLiteral("no video formats found"),
          QStringLiteral("不存在")},
         {},
         [](const Context&) {
             return Failure{QStringLiteral("视频不存在或已被删除"),
                            QStringLiteral("链接可能复制不完整，或者视频已被删除、设为私密。请在浏览器里打开链接确认能正常播放。"),
                            {Action::retry}};
         }},
        {kNetworkNeedles,
         {},
         [](const Context& c) {
             const QString name = c.platform.name();
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
         }},
        {{QStringLiteral("ffmpeg")},
         {QStringLiteral("not found"), QStringLiteral("not installed")},
         [](const Context&) {
             return Failure{QStringLiteral("缺少 ffmpeg"),
                            QStringLiteral("合并画面和声音需要 ffmpeg。打开「终端」运行：") +
                                Tools::installCommand(),
                            {Action::copyInstallCommand, Action::retry}};
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

}  // namespace

namespace YtDlp {

// The user-facing texts stay whole, one literal each.
// clang-format off
Failure failure(const QString& text, Platform platform, std::optional<Browser> browser) {
    const QString low = text.toLower();
    const Context context{platform, browser, browser.value_or(Browser::suggested()),
                          detailOf(text)};

    // Reading the given browser's cookies failed: that is the problem, whatever else is said.
    if (browser && containsAny(low, kCookieNeedles)) {
        if (*browser == Browser::safari && low.contains(QLatin1String("operation not permitted"))) {
            return Failure{
                QStringLiteral("没有权限读取 Safari 的登录信息"),
                QStringLiteral("读取 Safari 的 cookie 需要「完全磁盘访问权限」。请在设置里给「Quorvin」打开这个权限，或者在菜单「⋯ › 浏览器登录信息」里改用 Chrome。"),
                {Failure::Action::openFullDiskAccess, Failure::Action::retry}};
        }
        const QString name = browser->name();
        return Failure{
            QStringLiteral("读取 ") + name + QStringLiteral(" 的登录信息失败"),
            QStringLiteral(
                "macOS 弹出钥匙串窗口时，请点「始终允许」。如果没有弹窗或仍然失败，确认 ") +
                name +
                QStringLiteral(
                    " 里打开过这个网站，或在菜单「⋯ › 浏览器登录信息」里换一个浏览器。\n详情：") +
                context.detail,
            {Failure::Action::retry}};
    }

    for (const Row& row : table()) {
        if (!containsAny(low, row.needles)) continue;
        if (!row.alsoOne.isEmpty() && !containsAny(low, row.alsoOne)) continue;
        return row.make(context);
    }
    return Failure{
        QStringLiteral("下载失败"),
        QStringLiteral("可能是网站改版了，先点「更新下载组件」再重试。\n详情：") + context.detail,
        {Failure::Action::updateTools, Failure::Action::retry, Failure::Action::openLogs}};
}
// clang-format on

}  // namespace YtDlp
