// The list survives the app: the real quorvin under Xvfb saves two videos and starts a third,
// dies by SIGKILL, and one saved file is deleted meanwhile. The next start shows the list as it
// was, in its order and with its ids: the saved video still saved, the deleted one saying so,
// the running one interrupted.

#include "app/desktop_session.h"

#include "common/http_test_server.h"
#include "common/test_media.h"
#include "support/app_paths.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>

#include <signal.h>

namespace {

using namespace std::chrono_literals;

QJsonArray keptItems() {
    QFile file(AppPaths::support() + QStringLiteral("/items.json"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll())
        .object()
        .value(QStringLiteral("items"))
        .toArray();
}

QString field(const QJsonValue& item, const char* name) {
    return item.toObject().value(QLatin1String(name)).toString();
}

QString failureTitle(const QJsonValue& item) {
    return item.toObject().value(QStringLiteral("failure")).toObject().value("title").toString();
}

// Hands links to the running app as a second launch would.
bool hand(const DesktopSession& desktop, const QByteArray& links) {
    return desktop.ask("open " + links.toBase64() + '\n') == "ok\n";
}

TEST(KeptList, ComesBackAfterACrashWithItsGoneFileAndItsInterruptedDownload) {
    const QString media = TestSupport::home() + QStringLiteral("/media");
    ASSERT_TRUE(TestMedia::makeClip(media + QStringLiteral("/saved.mp4"), 1));
    ASSERT_TRUE(TestMedia::makeClip(media + QStringLiteral("/gone.mp4"), 1));
    // The third video never arrives while the first run lives: it is running when it dies.
    std::atomic<bool> release = false;
    HttpTestServer server([&, files = HttpTestServer::folder(media)](const auto& request) {
        if (request.path() == "/stuck.mp4") {
            TestSupport::waitUntil([&] { return release.load(); }, 120s);
            return HttpTestServer::Reply::text("gone", 404);
        }
        return files(request);
    });
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = true; }
    } releaseAtEnd{release};

    DesktopSession desktop(DesktopSession::Tray::xembed);
    ASSERT_EQ(desktop.problem(), QString());
    Settings::setValue(QStringLiteral("welcomed2"), true);
    QProcess* first = desktop.startApp();
    ASSERT_NE(first, nullptr);
    const QByteArray saved = server.url(QStringLiteral("/saved.mp4")).toEncoded();
    const QByteArray gone = server.url(QStringLiteral("/gone.mp4")).toEncoded();
    const QByteArray stuck = server.url(QStringLiteral("/stuck.mp4")).toEncoded();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return hand(desktop, saved + ' ' + gone); }, 15s));
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            return logLinesContaining(QStringLiteral("下载完成：saved.mp4")) == 1 &&
                   logLinesContaining(QStringLiteral("下载完成：gone.mp4")) == 1;
        },
        60s))
        << TestSupport::logLines().join(u'\n').toStdString();
    ASSERT_TRUE(hand(desktop, stuck));
    // Newest first: the running one, then the two saved in the order they were handed.
    QJsonArray before;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            before = keptItems();
            return before.size() == 3 && field(before[0], "phase") != u"done" &&
                   field(before[0], "phase") != u"failed" && field(before[1], "phase") == u"done" &&
                   field(before[2], "phase") == u"done";
        },
        15s));
    EXPECT_EQ(field(before[0], "link"), QString::fromUtf8(stuck));
    EXPECT_EQ(field(before[1], "link"), QString::fromUtf8(gone));
    EXPECT_EQ(field(before[2], "link"), QString::fromUtf8(saved));

    ::kill(pid_t(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(10000));
    ASSERT_TRUE(QFile::remove(field(before[1], "file")));
    ASSERT_TRUE(QFile::exists(field(before[2], "file")));

    // The probe shows the panel as soon as the app has started, for the screenshot below.
    QProcess* second = desktop.startApp({QStringLiteral("QUORVIN_STARTUP_PROBE=1")});
    ASSERT_NE(second, nullptr);
    // The list as the second run shows it is written back once its phases have changed.
    QJsonArray after;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            after = keptItems();
            return after.size() == 3 && field(after[0], "phase") == u"failed";
        },
        20s))
        << QJsonDocument(after).toJson().toStdString();
    for (qsizetype i = 0; i < 3; ++i) {
        EXPECT_EQ(field(after[i], "id"), field(before[i], "id")) << i;
        EXPECT_EQ(field(after[i], "link"), field(before[i], "link")) << i;
    }
    EXPECT_EQ(failureTitle(after[0]), u"已中断");
    EXPECT_EQ(failureTitle(after[1]), u"文件已不在桌面");
    EXPECT_EQ(field(after[2], "phase"), u"done");
    EXPECT_EQ(field(after[2], "file"), field(before[2], "file"));

    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 15s));
    QDir().mkpath(QStringLiteral(QUORVIN_BUILD_DIR "/screenshots"));
    desktop.screenshot(QStringLiteral(QUORVIN_BUILD_DIR "/screenshots/kept-list-restored.png"));

    // A quit writes the last phases: a download running at that moment is on disk as ended.
    ASSERT_TRUE(hand(desktop, stuck));
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            const QJsonArray now = keptItems();
            return now.size() == 4 && field(now[0], "phase") != u"failed";
        },
        15s));
    second->terminate();
    ASSERT_TRUE(second->waitForFinished(15000));
    const QJsonArray last = keptItems();
    ASSERT_EQ(last.size(), 4);
    EXPECT_EQ(field(last[0], "phase"), u"failed");
    EXPECT_EQ(field(last[0], "link"), QString::fromUtf8(stuck));
    EXPECT_NE(field(last[0], "id"), field(after[0], "id"));
    for (qsizetype i = 0; i < 3; ++i) EXPECT_EQ(last[i + 1], after[i]) << i;
}

}  // namespace
