// Quitting (SIGTERM) or crashing (SIGKILL) during a transfer: the real quorvin under Xvfb
// downloads a link handed to it from the command line, the loopback server goes silent
// mid-file, the app is ended. Its processes end with it, nothing partial stays on the Desktop or
// in the temporary folder, and the data waits in the item's kept folder. The next run shows the
// item "已中断", and its "继续下载" continues from there: the server sees the Range request
// from the kept length, and the saved file is the server's byte for byte.

#include "app/desktop_session.h"

#include "channels/cookie_jar.h"
#include "common/channels_services.h"
#include "common/service_server.h"
#include "common/test_media.h"
#include "core/platform.h"
#include "support/app_paths.h"
#include "support/partial_store.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QNetworkCookie>

#include <csignal>

namespace {

using namespace std::chrono_literals;

struct Case {
    const char* name;
    Platform platform;
    int signal;
};

void PrintTo(const Case& value, std::ostream* out) {
    *out << value.name;
}

class InterruptedApp : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        ASSERT_EQ(desktop.problem(), QString());
        // Earlier tests in this process share the home: their kept list and data go first.
        QFile::remove(AppPaths::support() + QStringLiteral("/items.json"));
        QDir(PartialStore::root()).removeRecursively();
        QDir(AppPaths::desktop()).removeRecursively();
        QDir().mkpath(AppPaths::desktop());
        Settings::setValue(QStringLiteral("welcomed2"), true);
        QNetworkCookie login("hy_token", "token");
        login.setDomain(QStringLiteral("127.0.0.1"));
        login.setPath(QStringLiteral("/"));
        login.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(30));
        ASSERT_TRUE(CookieJar::write({login}));
        clip = TestSupport::home() + QStringLiteral("/media/clip.mp4");
        ASSERT_TRUE(TestMedia::makeClip(clip, 6, QSize(320, 240), 25));
        source = fileBytes(clip);
    }

    void TearDown() override {
        if (app && app->state() != QProcess::NotRunning) {
            app->kill();
            app->waitForFinished(5000);
        }
    }

    // The server: the first transfer goes silent half-way, a continuation is served whole.
    void serve(bool stall) {
        const QString origin = server.origin();
        const auto files = HttpTestServer::folder(QFileInfo(clip).path());
        const QByteArray video = source;
        server.setHandler([=](const HttpTestServer::Request& request) {
            if (request.path() == "/clip.mp4") {
                HttpTestServer::Reply reply = files(request);
                if (stall && !request.header("Range")) reply.stallAfter = video.size() / 2;
                return reply;
            }
            ChannelsServices::VideoServing how{0, "\"clip-1\"", {}, true, -1};
            if (stall) how.stallAfter = video.size() / 2;
            return ChannelsServices::answer(request, origin, video, how)
                .value_or(HttpTestServer::Reply::text("not here", 404));
        });
    }

    static QByteArray fileBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The one item folder of kept data, empty while there is none.
    static QString keptFolder() {
        const QStringList names =
            QDir(PartialStore::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return names.size() == 1 ? PartialStore::root() + u'/' + names.first() : QString();
    }

    // How many bytes the kept folder's download file holds (-1: none yet).
    static qint64 keptBytes() {
        const QString folder = keptFolder();
        if (folder.isEmpty()) return -1;
        for (QDirIterator it(folder, {QStringLiteral("video.mp4"), QStringLiteral("*.part")},
                             QDir::Files);
             it.hasNext();)
            return QFileInfo(it.next()).size();
        return -1;
    }

    QList<QByteArray> ranges(const QByteArray& path) const {
        QList<QByteArray> found;
        for (const auto& request : server.requests()) {
            if (request.path() == path) found.append(request.header("Range").value_or(""));
        }
        return found;
    }

    DesktopSession desktop{DesktopSession::Tray::xembed};
    // The in-process engine reads the service origins from the environment this server sets.
    HttpTestServer& server = serviceServer();
    std::unique_ptr<QProcess> app;
    QString clip;
    QByteArray source;
};

TEST_P(InterruptedApp, KeepsTheDataAndALaterRunContinuesIt) {
    const bool channels = GetParam().platform == Platform::channels;
    const QString link = channels ? QStringLiteral("https://weixin.qq.com/sph/Clip1")
                                  : server.origin() + QStringLiteral("/clip.mp4");
    const QByteArray videoPath = channels ? "/video/Clip1.mp4" : "/clip.mp4";
    serve(true);

    app = std::make_unique<QProcess>();
    QProcessEnvironment environment = desktop.environment();
    environment.insert(QStringLiteral("QUORVIN_YUANBAO_ORIGIN"), server.origin());
    environment.insert(QStringLiteral("QUORVIN_CHANNELS_ORIGIN"), server.origin());
    app->setProcessEnvironment(environment);
    app->start(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"), {link});
    // Channels data is written as it arrives; yt-dlp writes in blocks, so some of it.
    const qint64 half = source.size() / 2;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return channels ? keptBytes() == half : keptBytes() > 0; }, 30s))
        << keptBytes();
    const QString folder = keptFolder();

    ::kill(pid_t(app->processId()), GetParam().signal);
    ASSERT_TRUE(app->waitForFinished(10000));
    if (GetParam().signal == SIGTERM) {
        EXPECT_EQ(app->exitCode(), 0);
        EXPECT_EQ(logLinesContaining(QStringLiteral("已中断：") + link), 1);
    }
    // No tool outlives the app (its command line names the kept folder).
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return TestSupport::liveProcessesMentioning(folder).isEmpty(); }, 10s))
        << TestSupport::liveProcessesMentioning(folder).join(u'\n').toStdString();
    const qint64 kept = keptBytes();
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, half);
    EXPECT_TRUE(TestSupport::temporaryLeftovers().isEmpty());
    EXPECT_TRUE(QDir(AppPaths::desktop()).isEmpty(QDir::Files | QDir::Hidden));

    // The next run brings the item back "已中断" (the probe shows the panel once it has
    // started), and its one remedy, "继续下载", adopts the kept data.
    serve(false);
    server.clearRequests();
    const int savedBefore = logLinesContaining(QStringLiteral("下载完成："));
    app = std::make_unique<QProcess>();
    environment.insert(QStringLiteral("QUORVIN_STARTUP_PROBE"), QStringLiteral("1"));
    app->setProcessEnvironment(environment);
    app->start(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 30s));
    const std::optional<QPoint> remedy =
        settledRemedy(desktop, desktop.panels().first(),
                      QStringLiteral(QUORVIN_BUILD_DIR "/screenshots/resume-") + GetParam().name +
                          QStringLiteral(".png"));
    ASSERT_TRUE(remedy.has_value());
    desktop.run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QString::number(remedy->x()),
                 QString::number(remedy->y()), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return logLinesContaining(QStringLiteral("下载完成：")) == savedBefore + 1; }, 90s))
        << TestSupport::logLines().join(u'\n').toStdString();
    EXPECT_TRUE(ranges(videoPath).contains("bytes=" + QByteArray::number(kept) + '-'))
        << ranges(videoPath).join(',').toStdString();
    const QStringList saved = QDir(AppPaths::desktop()).entryList({QStringLiteral("*.mp4")});
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(fileBytes(AppPaths::desktop() + u'/' + saved.first()), source);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !QFileInfo::exists(folder); }, 10s));
}

INSTANTIATE_TEST_SUITE_P(Ends, InterruptedApp,
                         ::testing::Values(Case{"ChannelsQuit", Platform::channels, SIGTERM},
                                           Case{"ChannelsKilled", Platform::channels, SIGKILL},
                                           Case{"YtDlpQuit", Platform::other, SIGTERM},
                                           Case{"YtDlpKilled", Platform::other, SIGKILL}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
