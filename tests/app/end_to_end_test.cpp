// One whole run as a person makes it: the real quorvin in a tray under Xvfb, the panel opened
// from the icon, a link typed into the paste field, the video on the Desktop; then a link that
// fails and the failure box's first remedy pressed. Media comes from a loopback server.

#include "app/desktop_session.h"

#include "common/http_test_server.h"
#include "common/test_media.h"
#include "support/app_paths.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QTest>

namespace {

using namespace std::chrono_literals;

QString shotPath(const QString& name) {
    QDir().mkpath(QStringLiteral(QUORVIN_BUILD_DIR "/screenshots"));
    return QStringLiteral(QUORVIN_BUILD_DIR "/screenshots/") + name + QStringLiteral(".png");
}

QStringList desktopVideos() {
    return QDir(AppPaths::desktop()).entryList({QStringLiteral("*.mp4")}, QDir::Files);
}

TEST(EndToEnd, TypedLinkLandsOnTheDesktopAndAFailureRemedyRetries) {
    const QString media = TestSupport::home() + QStringLiteral("/media");
    ASSERT_TRUE(TestMedia::makeClip(media + QStringLiteral("/clip.mp4"), 2));
    // Slow enough that the transfer is seen running, short enough for the test's budget.
    HttpTestServer server([files = HttpTestServer::folder(media)](const auto& request) {
        HttpTestServer::Reply reply = files(request);
        reply.throttleBytes = 8 * 1024;
        reply.throttleMs = 60;
        return reply;
    });

    DesktopSession desktop(DesktopSession::Tray::xembed);
    ASSERT_EQ(desktop.problem(), QString());
    Settings::setValue(QStringLiteral("welcomed2"), true);  // no panel by itself
    QProcess* app = desktop.startApp();
    ASSERT_NE(app, nullptr);
    ASSERT_TRUE(desktop.openPanelFromTray());
    const QString panel = desktop.panels().first();
    // Typing goes to the active window; the panel gives its field the focus as it comes up.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.activeWindow() == panel; }, 15s));

    const auto typeAndSubmit = [&](const QString& link) {
        desktop.run(QStringLiteral("xdotool"),
                    {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), link});
        desktop.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
    };
    const QString good = server.origin() + QStringLiteral("/clip.mp4");
    typeAndSubmit(good);
    const QString started = QStringLiteral("开始下载：[其他网站] ");
    // Working: the run has started.
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return logLinesContaining(started + good) == 1; }, 15s));
    desktop.screenshot(shotPath(QStringLiteral("e2e-1-working")));
    // Downloading: the video is on its way and not yet on the Desktop.
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            for (const auto& request : server.requests()) {
                if (request.method == "GET" && request.path() == "/clip.mp4") return true;
            }
            return false;
        },
        8s));
    EXPECT_TRUE(desktopVideos().isEmpty());
    desktop.screenshot(shotPath(QStringLiteral("e2e-2-downloading")));
    // Done: the file is in place under its title, whole.
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return logLinesContaining(QStringLiteral("下载完成：clip.mp4")) == 1; }, 15s));
    EXPECT_EQ(desktopVideos(), QStringList{QStringLiteral("clip.mp4")});
    EXPECT_EQ(QFileInfo(AppPaths::desktop() + QStringLiteral("/clip.mp4")).size(),
              QFileInfo(media + QStringLiteral("/clip.mp4")).size());
    QTest::qWait(200);
    desktop.screenshot(shotPath(QStringLiteral("e2e-3-done")));

    // A link the server does not have: the row fails with remedies, the panel comes forward.
    const QString missing = server.origin() + QStringLiteral("/gone.mp4");
    typeAndSubmit(missing);
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return logLinesContaining(QStringLiteral("下载失败：视频不存在或已被删除")) == 1; },
        20s));
    // The newest row is the failed one, at the top of the list, below the paste row. Its
    // failure box animates in: the screen is read until its first remedy stands still.
    const std::optional<QPoint> remedy =
        settledRemedy(desktop, panel, shotPath(QStringLiteral("e2e-4-failed")));
    ASSERT_TRUE(remedy.has_value());
    desktop.run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QString::number(remedy->x()),
                 QString::number(remedy->y()), QStringLiteral("click"), QStringLiteral("1")});
    // "重试" runs the same item again: a second start of that link, at the top of the list.
    EXPECT_TRUE(
        TestSupport::waitUntil([&] { return logLinesContaining(started + missing) == 2; }, 15s));
    EXPECT_EQ(logLinesContaining(started + good), 1);  // the done item was left alone
}

}  // namespace
