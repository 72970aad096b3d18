// YtDlp::download with the real yt-dlp and ffmpeg against media made here and served on
// 127.0.0.1.

#include "common/http_test_server.h"
#include "common/test_media.h"
#include "common/test_support.h"
#include "core/download_item.h"
#include "sites/site_test_support.h"
#include "sites/stall_monitor.h"
#include "sites/tools.h"
#include "sites/ytdlp.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTimer>

#include <csignal>

namespace {

class RealYtDlp : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo(QStringLiteral("/usr/bin/yt-dlp")).isExecutable()) {
            GTEST_SKIP() << "yt-dlp is not installed (scripts/setup.sh installs it)";
        }
        settings.tools.searchDirs = {QStringLiteral("/usr/bin")};
        www = TestSupport::home() + QStringLiteral("/www");
        QDir().mkpath(www);
    }

    std::unique_ptr<DownloadItem> itemFor(const QString& url) {
        auto item = std::make_unique<DownloadItem>(QUrl(url), Platform::other);
        QObject::connect(item.get(), &DownloadItem::phaseChanged,
                         [this, raw = item.get()] { phases.append(raw->phase()); });
        return item;
    }

    std::variant<QString, Failure> download(
        DownloadItem& item, std::shared_ptr<CancelToken> cancel = CancelToken::make()) {
        return SiteTest::outcome(YtDlp::download(&item, std::nullopt, cancel, settings));
    }

    // The streams (codec types) of a media file, by ffprobe.
    static QStringList streamsOf(const QString& file) {
        return QString::fromUtf8(
                   TestSupport::run(
                       QStringLiteral("/usr/bin/ffprobe"),
                       {QStringLiteral("-v"), QStringLiteral("error"),
                        QStringLiteral("-show_entries"), QStringLiteral("stream=codec_type"),
                        QStringLiteral("-of"), QStringLiteral("csv=p=0"), file})
                       .out)
            .split(u'\n', Qt::SkipEmptyParts);
    }

    QString www;
    YtDlp::Settings settings;
    QList<Phase> phases;
};

QString savedFile(const std::variant<QString, Failure>& outcome) {
    if (const auto* failure = std::get_if<Failure>(&outcome)) {
        ADD_FAILURE() << failure->title.toStdString() << ": " << failure->advice.toStdString();
        return {};
    }
    return std::get<QString>(outcome);
}

Failure failureOf(const std::variant<QString, Failure>& outcome) {
    EXPECT_TRUE(std::holds_alternative<Failure>(outcome));
    return std::holds_alternative<Failure>(outcome) ? std::get<Failure>(outcome) : Failure{};
}

}  // namespace

TEST_F(RealYtDlp, PlainMp4LandsOnTheDesktop) {
    ASSERT_TRUE(TestMedia::makeClip(www + QStringLiteral("/clip.mp4"), 2));
    SiteTest::HttpServer server(www);
    ASSERT_TRUE(server.isListening());
    auto item = itemFor(server.url(QStringLiteral("clip.mp4")));
    const QString file = savedFile(download(*item));
    EXPECT_EQ(file, AppPaths::desktop() + QStringLiteral("/clip.mp4"));
    EXPECT_EQ(QFileInfo(file).size(), QFileInfo(www + QStringLiteral("/clip.mp4")).size());
    EXPECT_EQ(item->title(), u"clip");
    EXPECT_EQ(item->thumbnail(), std::nullopt);
    EXPECT_TRUE(phases.contains(Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…"))));
    const bool progressed = std::any_of(phases.begin(), phases.end(), [](const Phase& p) {
        return p.kind() == Phase::downloading && p.fraction() && *p.fraction() > 0;
    });
    EXPECT_TRUE(progressed);
    EXPECT_FALSE(QFileInfo::exists(YtDlp::workingFolder(*item)));
}

TEST_F(RealYtDlp, ATransferThatStopsReceivingLosesItsSpeedAndFailsAsAStall) {
    // Longer than the five seconds after which a speed is stale, short enough for a test.
    settings.stallLimit = 7.0;
    settings.watchdogTick = std::chrono::milliseconds(100);
    ASSERT_TRUE(TestMedia::makeClip(www + QStringLiteral("/clip.mp4"), 4));
    const QString clip = www + QStringLiteral("/clip.mp4");
    // Part of the file, then a connection that stays open and silent.
    HttpTestServer server([&](const HttpTestServer::Request&) {
        HttpTestServer::Reply reply;
        reply.file = clip;
        reply.headers = {{"Content-Type", "video/mp4"}};
        reply.stallAfter = QFileInfo(clip).size() / 2;
        reply.throttleBytes = 16384;
        reply.throttleMs = 5;
        return reply;
    });
    auto item = itemFor(server.url(QStringLiteral("/clip.mp4")).toString());
    QElapsedTimer timer;
    timer.start();
    const Failure failure = failureOf(download(*item));
    EXPECT_LT(timer.elapsed(), 7000 + 20000);
    EXPECT_EQ(failure.title, u"网络太慢，卡在「下载视频」");
    EXPECT_TRUE(failure.advice.startsWith(u"这一步 7 秒都没收到新数据。"));
    // The row showed a speed while bytes came, and stopped showing one once they did not.
    QList<Phase> transfer;
    std::copy_if(phases.begin(), phases.end(), std::back_inserter(transfer),
                 [](const Phase& p) { return p.kind() == Phase::downloading && p.fraction(); });
    ASSERT_FALSE(transfer.isEmpty());
    EXPECT_TRUE(std::any_of(transfer.begin(), transfer.end(),
                            [](const Phase& p) { return p.text().contains(u"MB/s"); }));
    EXPECT_FALSE(transfer.last().text().contains(u"MB/s")) << transfer.last().text().toStdString();
    EXPECT_FALSE(QFileInfo::exists(YtDlp::workingFolder(*item)));
}

TEST_F(RealYtDlp, DashWithSeparateStreamsIsMergedIntoOneMp4) {
    ASSERT_TRUE(SiteTest::makeDash(www + QStringLiteral("/dash"), 2));
    SiteTest::HttpServer server(www);
    auto item = itemFor(server.url(QStringLiteral("dash/manifest.mpd")));
    const QString file = savedFile(download(*item));
    // yt-dlp calls it by the manifest's file name; the link's host and path say more.
    EXPECT_EQ(file, AppPaths::desktop() + QStringLiteral("/127.0.0.1 - dash.mp4"));
    EXPECT_EQ(item->title(), u"127.0.0.1 - dash");
    EXPECT_EQ(streamsOf(file), (QStringList{"video", "audio"}));
    // Two streams: the picture without a label, then the sound with one, each ending in the
    // merging phase.
    const bool sound = std::any_of(phases.begin(), phases.end(), [](const Phase& p) {
        return p.kind() == Phase::downloading && p.text().startsWith(u"声音 · ");
    });
    EXPECT_TRUE(sound);
    EXPECT_GE(phases.count(Phase::makeWorking(QStringLiteral("正在处理（合并画面和声音）…"))), 2);
    EXPECT_EQ(SiteTest::filesIn(AppPaths::desktop()).size(), 1);
}

TEST_F(RealYtDlp, PageWithOgVideo) {
    ASSERT_TRUE(TestMedia::makeClip(www + QStringLiteral("/media/film.mp4"), 1));
    SiteTest::HttpServer server(www);
    TestSupport::writeFile(
        www + QStringLiteral("/watch.html"),
        QStringLiteral(
            "<html><head><title>Page</title><meta property=\"og:title\" content=\"测试视频\">"
            "<meta property=\"og:video\" content=\"%1\"></head><body></body></html>")
            .arg(server.url(QStringLiteral("media/film.mp4")))
            .toUtf8());
    auto item = itemFor(server.url(QStringLiteral("watch.html")));
    const QString file = savedFile(download(*item));
    EXPECT_EQ(QFileInfo(file).dir().path(), AppPaths::desktop());
    EXPECT_EQ(item->title(), u"测试视频");
    EXPECT_EQ(QFileInfo(file).fileName(), u"测试视频.mp4");
    EXPECT_EQ(streamsOf(file), (QStringList{"video", "audio"}));
}

// yt-dlp keeps a page title's right-to-left override, isolates and C1 controls in its file name
// and its title line. None of them reaches the Desktop name, and the shown title keeps bidi
// controls only in matched pairs inside an isolated span.
TEST_F(RealYtDlp, BidiAndControlCharactersStayOutOfNamesAndTitles) {
    ASSERT_TRUE(TestMedia::makeClip(www + QStringLiteral("/media/film.mp4"), 1));
    SiteTest::HttpServer server(www);
    const QString title = u"a\u202Egnp\u2066x\u2069.exe\u009B1m\u007Fz\u200E"_qs;
    TestSupport::writeFile(
        www + QStringLiteral("/watch.html"),
        QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Page</title>"
                       "<meta property=\"og:title\" content=\"%1\">"
                       "<meta property=\"og:video\" content=\"%2\"></head></html>")
            .arg(title, server.url(QStringLiteral("media/film.mp4")))
            .toUtf8());
    auto item = itemFor(server.url(QStringLiteral("watch.html")));
    const QString file = savedFile(download(*item));
    EXPECT_EQ(QFileInfo(file).fileName(), u"agnpx.exe 1mz.mp4");
    EXPECT_EQ(item->title(), u"\u2068agnp\u2066x\u2069.exe1mz\u200E\u2069"_qs);
}

// yt-dlp never sees the Desktop: a user's file of the same name is neither skipped over and
// reported as ours nor replaced, and two downloads of one title at once give two files.
TEST_F(RealYtDlp, SameNamesOnTheDesktopAndAtOnceGiveNewFiles) {
    ASSERT_TRUE(TestMedia::makeClip(www + QStringLiteral("/clip.mp4"), 1));
    SiteTest::HttpServer server(www);
    const QString users = TestSupport::writeFile(AppPaths::desktop() + u"/clip.mp4"_qs, "mine");
    auto first = itemFor(server.url(QStringLiteral("clip.mp4")));
    auto second = itemFor(server.url(QStringLiteral("clip.mp4")));
    // Tasks start at once: both run side by side.
    auto one = YtDlp::download(first.get(), std::nullopt, CancelToken::make(), settings);
    auto two = YtDlp::download(second.get(), std::nullopt, CancelToken::make(), settings);
    const QString a = savedFile(SiteTest::outcome(std::move(one)));
    const QString b = savedFile(SiteTest::outcome(std::move(two)));
    EXPECT_EQ((QSet<QString>{a, b}), (QSet<QString>{AppPaths::desktop() + u"/clip (2).mp4"_qs,
                                                    AppPaths::desktop() + u"/clip (3).mp4"_qs}));
    QFile mine(users);
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "mine");
    for (const QString& file : {a, b}) {
        EXPECT_EQ(QFileInfo(file).size(), QFileInfo(www + QStringLiteral("/clip.mp4")).size());
    }
    EXPECT_EQ(SiteTest::filesIn(AppPaths::desktop()).size(), 3);
}

TEST_F(RealYtDlp, MissingFileIsClassifiedAsGone) {
    SiteTest::HttpServer server(www);
    auto item = itemFor(server.url(QStringLiteral("nothing-here.mp4")));
    const Failure failure = failureOf(download(*item));
    EXPECT_EQ(failure.title, u"视频不存在或已被删除");
    EXPECT_TRUE(SiteTest::filesIn(AppPaths::desktop()).isEmpty());
}

TEST_F(RealYtDlp, RefusedConnectionIsANetworkFailure) {
    auto item = itemFor(QStringLiteral("http://127.0.0.1:%1/clip.mp4").arg(SiteTest::closedPort()));
    const Failure failure = failureOf(download(*item));
    EXPECT_EQ(failure.title, u"网络连接失败");
    EXPECT_TRUE(failure.advice.startsWith(u"连不上 127.0.0.1 的服务器。"));
    EXPECT_TRUE(failure.advice.contains(u"refused")) << failure.advice.toStdString();
}

TEST_F(RealYtDlp, PageWithoutVideoIsUnsupported) {
    TestSupport::writeFile(www + QStringLiteral("/about.html"),
                           "<html><head><title>About us</title></head><body>Text</body></html>");
    SiteTest::HttpServer server(www);
    auto item = itemFor(server.url(QStringLiteral("about.html")));
    const Failure failure = failureOf(download(*item));
    EXPECT_EQ(failure.title, u"暂不支持这个网址");
    EXPECT_TRUE(failure.actions.isEmpty());
}

TEST_F(RealYtDlp, CancelDuringTheMergeLeavesNothingBehind) {
    // A merge that takes as long as the clip plays (ffmpeg reading at native rate).
    QFile::link(QStringLiteral(QUORVIN_FIXTURES "/sites/slow_ffmpeg.sh"),
                SiteTest::toolsDir() + QStringLiteral("/ffmpeg"));
    QFile::link(QStringLiteral("/usr/bin/ffprobe"),
                SiteTest::toolsDir() + QStringLiteral("/ffprobe"));
    settings.tools = SiteTest::fakeToolsFirst();
    ASSERT_TRUE(SiteTest::makeDash(www + QStringLiteral("/dash"), 20));
    SiteTest::HttpServer server(www);
    auto item = itemFor(server.url(QStringLiteral("dash/manifest.mpd")));
    const QString folder = YtDlp::workingFolder(*item);

    const auto cancel = CancelToken::make();
    bool sawMerge = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // ffmpeg is merging once it runs with the working folder on its command line.
        const QStringList merging = SiteTest::liveProcessesMentioning(QStringLiteral("-re "));
        for (const QString& process : merging) {
            if (process.contains(folder)) sawMerge = true;
        }
        if (sawMerge) {
            poll.stop();
            QTimer::singleShot(300, [cancel] { cancel->cancel(); });
        }
    });
    poll.start(50);
    const Failure failure = failureOf(download(*item, cancel));
    EXPECT_TRUE(sawMerge);
    EXPECT_EQ(failure, Failure::cancelled());
    EXPECT_TRUE(SiteTest::liveProcessesMentioning(folder).isEmpty())
        << SiteTest::liveProcessesMentioning(folder).join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(SiteTest::filesIn(AppPaths::desktop()).isEmpty());
}

TEST_F(RealYtDlp, ToolsEndSoonAfterQuorvinIsKilled) {
    // quorvin-cli merging through a slow ffmpeg (found in ~/.local/bin) is killed outright:
    // nothing of its download may run on.
    const QString bin = TestSupport::home() + QStringLiteral("/.local/bin");
    QDir().mkpath(bin);
    QFile::link(QStringLiteral(QUORVIN_FIXTURES "/sites/slow_ffmpeg.sh"), bin + "/ffmpeg");
    QFile::link(QStringLiteral("/usr/bin/ffprobe"), bin + QStringLiteral("/ffprobe"));
    ASSERT_TRUE(SiteTest::makeDash(www + QStringLiteral("/dash"), 20));
    SiteTest::HttpServer server(www);
    QProcess cli;
    cli.start(TestSupport::cliPath(),
              {QStringLiteral("get"), server.url(QStringLiteral("dash/manifest.mpd"))});
    ASSERT_TRUE(cli.waitForStarted());
    // Both tools run once ffmpeg merges inside the working folder.
    const QString working = AppPaths::temporary() + QStringLiteral("/quorvin-dl-");
    auto tools = [&] { return SiteTest::liveProcessesMentioning(working); };
    const bool merging = TestSupport::waitUntil(
        [&] {
            const QStringList running = tools();
            return std::any_of(running.begin(), running.end(),
                               [](const QString& p) { return p.contains(u"-re "); }) &&
                   running.size() >= 2;
        },
        std::chrono::seconds(8));
    ::kill(pid_t(cli.processId()), SIGKILL);
    cli.waitForFinished();
    ASSERT_TRUE(merging) << cli.readAllStandardError().toStdString();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return tools().isEmpty(); }, std::chrono::seconds(3)))
        << tools().join(u'\n').toStdString();
}
