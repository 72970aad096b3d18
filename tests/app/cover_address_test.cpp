// A Channels cover address is the feed's to choose. One that names a FIFO on this machine must
// neither hold up the other rows' pictures nor keep the app from ending (and from being started
// again): the real app under Xvfb, the services on a loopback server.

#include "app/desktop_session.h"

#include "channels/cookie_jar.h"
#include "common/channels_services.h"
#include "common/http_test_server.h"
#include "common/test_media.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <iostream>

namespace {

using namespace std::chrono_literals;

QByteArray jpeg() {
    QImage image(320, 180, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// Types the link into the panel's field and presses Return, again while the field has not yet
// taken the keyboard, until the download has started.
bool submit(DesktopSession& desktop, const QString& link) {
    const QString started = QStringLiteral("开始下载：[视频号] ") + link;
    return TestSupport::waitUntil(
        [&] {
            desktop.run(
                QStringLiteral("xdotool"),
                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), link});
            desktop.run(QStringLiteral("xdotool"),
                        {QStringLiteral("key"), QStringLiteral("Return")});
            return TestSupport::waitUntil([&] { return logLinesContaining(started) == 1; }, 1500ms);
        },
        10s);
}

TEST(CoverAddress, AFifoHoldsUpNeitherTheOtherPicturesNorTheQuit) {
    const QString fifo = TestSupport::home() + QStringLiteral("/fifo.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray cover = jpeg();
    const QByteArray video = TestMedia::mp4Bytes(100'000);
    HttpTestServer server;
    const QString origin = server.origin();
    server.setHandler([&](const HttpTestServer::Request& request) {
        if (request.path().startsWith("/cover/")) {
            HttpTestServer::Reply reply;
            reply.headers = {{"Content-Type", "image/jpeg"}};
            reply.body = cover;
            return reply;
        }
        auto reply = ChannelsServices::answer(request, origin, video);
        if (!reply) return HttpTestServer::Reply::text("not here", 404);
        reply->body.replace((origin + QStringLiteral("/cover/Fifo1")).toUtf8(),
                            QUrl::fromLocalFile(fifo).toEncoded());
        return *reply;
    });
    QNetworkCookie login("hy_token", "token");
    login.setDomain(QStringLiteral("127.0.0.1"));
    login.setPath(QStringLiteral("/"));
    login.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(30));
    ASSERT_TRUE(CookieJar::write({login}));

    DesktopSession desktop(DesktopSession::Tray::xembed);
    ASSERT_EQ(desktop.problem(), QString());
    Settings::setValue(QStringLiteral("welcomed2"), true);
    const QStringList services{QStringLiteral("QUORVIN_YUANBAO_ORIGIN=") + origin,
                               QStringLiteral("QUORVIN_CHANNELS_ORIGIN=") + origin};
    QProcess* app = desktop.startApp(services);
    ASSERT_TRUE(desktop.openPanelFromTray());

    ASSERT_TRUE(submit(desktop, QStringLiteral("https://weixin.qq.com/sph/Fifo1")));
    ASSERT_TRUE(TestSupport::waitUntil(
        [] { return logLinesContaining(QStringLiteral("下载完成：")) == 1; }, 10s));
    ASSERT_TRUE(submit(desktop, QStringLiteral("https://weixin.qq.com/sph/Pic2")));
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] {
            for (const auto& request : server.requests()) {
                if (request.path() == "/cover/Pic2") return true;
            }
            return false;
        },
        10s))
        << "the second row's cover was never asked for";
    // (Nothing here opens the FIFO for writing: that would free a reader stuck on it.)
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(app->processId()), SIGTERM);
    const bool ended = app->waitForFinished(5000);
    std::cout << "ended " << (ended ? "after " : "not within ") << clock.elapsed() << " ms\n";
    ASSERT_TRUE(ended);
    EXPECT_EQ(app->exitCode(), 0);
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 退出")), 1);
    // The lock went with it: the next launch starts.
    desktop.startApp(services);
    EXPECT_TRUE(TestSupport::waitUntil(
        [] { return logLinesContaining(QStringLiteral("App 启动（")) == 2; }, 10s));
}

}  // namespace
