#include "net/problem.h"
#include "net/net.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Kind = Problem::Kind;
using Remedy = Failure::Action;

TEST(Problem, TitlesAndAdviceOfEachCase) {
    EXPECT_EQ(Problem::needLogin(false).title(), u"还没有登录腾讯元宝");
    EXPECT_EQ(Problem::needLogin(true).title(), u"腾讯元宝的登录已过期");
    EXPECT_EQ(Problem::unavailable(u"已删除"_qs).title(), u"视频号提示：已删除");
    EXPECT_EQ(Problem::network(u"x"_qs).title(), u"网络连接失败");
    EXPECT_EQ(Problem::apiChanged(u"x"_qs).title(), u"解析接口有变化，需要升级 App");
    EXPECT_EQ(Problem::disk(u"x"_qs).title(), u"视频保存失败");
    EXPECT_EQ(Problem::notFound().title(), u"找不到这条视频");
    EXPECT_EQ(Problem::notVideo().title(), u"这是图文动态，不是视频");
    EXPECT_EQ(Problem::encrypted().title(), u"这条视频是加密的，当前版本处理不了");
    EXPECT_EQ(Problem::linkExpired().title(), u"视频地址已失效");
    EXPECT_EQ(Problem::cancelled().title(), u"已取消");

    EXPECT_EQ(Problem::network(u"视频号：连接超时"_qs).advice(),
              u"连不上腾讯的服务器（视频号：连接超时）。\n请检查网络是否正常；如果开着 VPN "
              u"或代理，试试关掉后点「重试」。");
    EXPECT_EQ(Problem::apiChanged(u"元宝返回 HTTP 500"_qs).advice(),
              u"腾讯元宝或视频号改版了，返回了无法识别的内容。请联系开发者升级「Quorvin」。\n详情："
              u"元宝返回 HTTP 500");
#ifdef Q_OS_MACOS
    EXPECT_EQ(Problem::disk(u"No space left on device"_qs).advice(),
              u"无法把视频写到桌面（No space left on device）。\n请到「系统设置 › 隐私与安全性 › "
              u"文件与文件夹」里允许「Quorvin」访问桌面，然后点「重试」。");
#endif
    // The notice is in the title; the advice is the same whatever it says.
    EXPECT_EQ(Problem::unavailable(u"a"_qs).advice(), Problem::unavailable(u"b"_qs).advice());
    EXPECT_FALSE(Problem::unavailable(u"独特的提示"_qs).advice().contains(u"独特的提示"_qs));
    EXPECT_EQ(Problem::notVideo().advice(), u"目前只支持下载视频。");
    EXPECT_EQ(Problem::linkExpired().advice(), u"视频地址有时效，请点「重试」重新获取。");
    EXPECT_TRUE(Problem::cancelled().advice().isEmpty());
}

#ifndef Q_OS_MACOS
TEST(Problem, DiskAdviceSaysWhatHappenedAndWhatCuresIt) {
    const struct {
        const char16_t* reason;
        const char16_t* steps;
    } cases[] = {
        {u"No space left on device",
         u"桌面所在的磁盘空间不足。请清理出一些空间（例如清空回收站、删掉不用的大文件）"},
        {u"Disk quota exceeded",
         u"桌面所在的磁盘空间不足。请清理出一些空间（例如清空回收站、删掉不用的大文件）"},
        {u"Read-only file system", u"桌面所在的磁盘是只读的。请确认它没有以只读方式挂载"},
        {u"Not a directory", u"桌面的路径上有一个同名的文件，不是文件夹。请把这个文件移走或改名"},
        {u"Permission denied", u"没有权限在桌面文件夹里创建文件。请确认桌面文件夹属于你、可以写入"},
        {u"无法保存临时文件", u"请确认桌面文件夹还在、可以写入，磁盘也还有空间"},
    };
    for (const auto& each : cases) {
        const QString reason = QString::fromUtf16(each.reason);
        const QString advice = Problem::disk(reason).advice();
        EXPECT_EQ(advice, u"无法把视频写到桌面（"_qs + reason + u"）。\n"_qs +
                              QString::fromUtf16(each.steps) + u"，然后点「重试」。"_qs);
        // Nothing here has a macOS privacy pane to point at.
        EXPECT_FALSE(advice.contains(u"系统设置"));
        EXPECT_FALSE(advice.contains(u"隐私"));
    }
}
#endif

TEST(Problem, ServerFaultsDoNotBlameTheConnection) {
    const Problem fault = Problem::serverFault(u"视频服务器返回 HTTP 500"_qs);
    EXPECT_EQ(fault.kind(), Kind::network);
    EXPECT_TRUE(fault.serverSide());
    EXPECT_NE(fault, Problem::network(u"视频服务器返回 HTTP 500"_qs));
    EXPECT_EQ(fault.title(), u"腾讯的服务器出错了");
    EXPECT_EQ(fault.advice(),
              u"腾讯的服务器暂时出了问题（视频服务器返回 HTTP 500）。\n这不是你的网络或电脑的"
              u"问题，请等一会儿再点「重试」。");
    EXPECT_EQ(fault.action(), Problem::Action::retry);
}

TEST(Problem, NewcomerAdviceHasTheReasonAboveTheSteps) {
    const QStringList fresh = Problem::needLogin(false).advice().split(u'\n');
    const QString again = Problem::needLogin(true).advice();
    ASSERT_EQ(fresh.size(), 2);
    EXPECT_EQ(fresh[0], u"下载视频号需要借助腾讯元宝解析链接，只需登录一次（约两个月有效）。");
    EXPECT_EQ(fresh[1], again);
    EXPECT_FALSE(again.contains(u'\n'));
    EXPECT_EQ(
        again,
        u"点下面的「登录元宝」，在弹出的窗口里点「登录」，用手机微信扫码。登录后会自动继续下载。");
}

TEST(Problem, RemediesBecomeFailureActions) {
#ifdef Q_OS_MACOS
    EXPECT_EQ(Problem::disk(u"d"_qs).failure().actions,
              (QList<Remedy>{Remedy::openDesktopPrivacy, Remedy::retry}));
    EXPECT_EQ(Problem::disk(u"d"_qs).action(), Problem::Action::openDesktopPrivacy);
#else
    // No privacy pane exists here to send the user to.
    EXPECT_EQ(Problem::disk(u"d"_qs).failure().actions,
              (QList<Remedy>{Remedy::retry, Remedy::openLogs}));
    EXPECT_EQ(Problem::disk(u"d"_qs).action(), Problem::Action::retry);
#endif
    EXPECT_EQ(Problem::serverFault(u"s"_qs).failure().actions, QList<Remedy>{Remedy::retry});
    EXPECT_EQ(Problem::needLogin(false).failure().actions, QList<Remedy>{Remedy::loginYuanbao});
    EXPECT_EQ(Problem::network(u"n"_qs).failure().actions, QList<Remedy>{Remedy::retry});
    EXPECT_EQ(Problem::linkExpired().failure().actions, QList<Remedy>{Remedy::retry});
    EXPECT_EQ(Problem::apiChanged(u"a"_qs).failure().actions, QList<Remedy>{Remedy::openLogs});
    EXPECT_EQ(Problem::encrypted().failure().actions, QList<Remedy>{Remedy::openLogs});
    EXPECT_TRUE(Problem::notFound().failure().actions.isEmpty());
    EXPECT_TRUE(Problem::notVideo().failure().actions.isEmpty());
    EXPECT_TRUE(Problem::unavailable(u"u"_qs).failure().actions.isEmpty());
    EXPECT_EQ(Problem::notFound().action(), std::nullopt);

    const Failure failure = Problem::notVideo().failure();
    EXPECT_EQ(failure.title, Problem::notVideo().title());
    EXPECT_EQ(failure.advice, Problem::notVideo().advice());
    EXPECT_FALSE(failure.isCancel);
}

TEST(Problem, CancelledIsTheSharedCancellation) {
    EXPECT_EQ(Problem::cancelled().failure(), Failure::cancelled());
    EXPECT_TRUE(Problem::cancelled().failure().isCancel);
}

TEST(NetProblem, QtErrorsMapOntoTheCauses) {
    const QString service = u"视频号"_qs;
    const auto detail = [&](QNetworkReply::NetworkError error) {
        const Problem problem = Net::problem(error, u"raw text"_qs, service);
        EXPECT_EQ(problem.kind(), Kind::network);
        return problem.detail();
    };
    EXPECT_EQ(detail(QNetworkReply::RemoteHostClosedError), u"视频号：电脑没有联网");
    EXPECT_EQ(detail(QNetworkReply::NetworkSessionFailedError), u"视频号：电脑没有联网");
    EXPECT_EQ(detail(QNetworkReply::TemporaryNetworkFailureError), u"视频号：电脑没有联网");
    EXPECT_EQ(detail(QNetworkReply::TimeoutError), u"视频号：连接超时");
    EXPECT_EQ(detail(QNetworkReply::HostNotFoundError), u"视频号：找不到服务器");
    EXPECT_EQ(detail(QNetworkReply::SslHandshakeFailedError),
              u"视频号：安全连接失败，可能被代理软件拦截");
    EXPECT_EQ(detail(QNetworkReply::ConnectionRefusedError), u"视频号：raw text");
    EXPECT_EQ(detail(QNetworkReply::ProxyConnectionRefusedError), u"视频号：raw text");
    // An abort that we did not ask for is Qt's transfer time-out.
    EXPECT_EQ(detail(QNetworkReply::OperationCanceledError), u"视频号：连接超时");
    EXPECT_EQ(Net::problem(QNetworkReply::OperationCanceledError, {}, service, true),
              Problem::cancelled());
}

TEST(NetProblem, AnyThrownValueBecomesAProblem) {
    const auto from = [](auto thrown) {
        return Net::problem(std::make_exception_ptr(thrown), u"网络"_qs);
    };
    // A problem from deeper down keeps the service it named.
    EXPECT_EQ(from(Problem::network(u"腾讯元宝：连接超时"_qs)),
              Problem::network(u"腾讯元宝：连接超时"_qs));
    EXPECT_EQ(from(Problem::notVideo()), Problem::notVideo());
    EXPECT_EQ(from(Failure::cancelled()), Problem::cancelled());
    EXPECT_EQ(from(std::runtime_error("disk on fire")), Problem::network(u"网络：disk on fire"_qs));
    EXPECT_EQ(from(42).kind(), Kind::network);
}

}  // namespace
