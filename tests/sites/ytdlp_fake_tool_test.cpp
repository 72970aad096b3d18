// YtDlp::download against small fake yt-dlp scripts, for the exact protocol cases that the real
// tool cannot be made to produce on demand.

#include "common/test_support.h"
#include "core/download_item.h"
#include "sites/process_group.h"
#include "sites/site_test_support.h"
#include "sites/stall_monitor.h"
#include "sites/tools.h"
#include "sites/ytdlp.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <variant>

using namespace std::chrono_literals;

namespace {

using Outcome = std::variant<QString, Failure>;

class FakeYtDlp : public ::testing::Test {
protected:
    void SetUp() override {
        settings.tools.searchDirs = {SiteTest::toolsDir()};
        SiteTest::writeTool(QStringLiteral("ffmpeg"), "#!/bin/sh\n");
        QObject::connect(&item, &DownloadItem::phaseChanged,
                         [this] { phases.append(item.phase()); });
    }

    void fake(const QByteArray& body) {
        SiteTest::writeTool(QStringLiteral("yt-dlp"), "#!/bin/sh\n" + body);
    }

    // Shell lines that put a file named `name` (a copy of `from`, else four bytes) into the
    // output folder that yt-dlp was given ("-P home:…") and print its "@@FILE " line.
    static QByteArray produce(const QString& name, const QString& from = {}) {
        return QStringLiteral(
                   "for a in \"$@\"; do case \"$a\" in home:*) out=\"${a#home:}\";; esac; done\n"
                   "mkdir -p \"$out\"\n%1 > \"$out/%2\"\necho \"@@FILE $out/%2\"\n")
            .arg(from.isEmpty() ? QStringLiteral("printf data") : u"cat '"_qs + from + u"'"_qs,
                 name)
            .toUtf8();
    }

    static QString onDesktop(const QString& name) { return AppPaths::desktop() + u'/' + name; }

    Outcome download(std::optional<Browser> browser = std::nullopt,
                     std::shared_ptr<CancelToken> cancel = CancelToken::make()) {
        return SiteTest::outcome(YtDlp::download(&item, browser, cancel, settings));
    }

    static QString log() {
        QFile file(AppPaths::appLog());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    DownloadItem item{QUrl(QStringLiteral("https://www.youtube.com/watch?v=abc")),
                      Platform::youtube};
    QList<Phase> phases;
    YtDlp::Settings settings;
};

Failure failureOf(const Outcome& outcome) {
    EXPECT_TRUE(std::holds_alternative<Failure>(outcome))
        << std::get<QString>(outcome).toStdString();
    return std::holds_alternative<Failure>(outcome) ? std::get<Failure>(outcome) : Failure{};
}

}  // namespace

TEST_F(FakeYtDlp, PassesTheFixedCommandLineAndRemovesTheWorkingFolder) {
    const QString argsFile = TestSupport::home() + QStringLiteral("/args");
    const QString folder = YtDlp::workingFolder(item);
    fake(QStringLiteral("for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1'\n"
                        "[ -d '%2' ] && pwd >> '%1.cwd'\n")
             .arg(argsFile, folder)
             .toUtf8() +
         produce(QStringLiteral("done.webm")));
    EXPECT_TRUE(folder.startsWith(AppPaths::temporary() + QStringLiteral("/quorvin-dl-")));
    EXPECT_EQ(folder.right(36), item.id().toString(QUuid::WithoutBraces).toUpper());

    for (std::optional<Browser> browser :
         {std::optional<Browser>(), std::optional<Browser>(Browser::firefox)}) {
        EXPECT_EQ(std::get<QString>(download(browser)),
                  onDesktop(browser ? u"done (2).webm"_qs : u"done.webm"_qs));
        QFile file(argsFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList args = QString::fromUtf8(file.readAll()).split(u'\n');
        args.removeLast();
        QStringList expected = {
            QStringLiteral("https://www.youtube.com/watch?v=abc"),
            "--no-playlist",
            "--newline",
            "--no-colors",
            "--no-mtime",
            "--progress",
            "--socket-timeout",
            "60",
            "--retries",
            "3",
            "-S",
            "vcodec:h264,res,acodec:m4a",
            "--merge-output-format",
            "mp4",
            "--ffmpeg-location",
            SiteTest::toolsDir() + QStringLiteral("/ffmpeg"),
            "-P",
            QStringLiteral("home:") + folder + QStringLiteral("/out"),
            "-P",
            QStringLiteral("temp:") + folder,
            "-o",
            "%(title).180B.%(ext)s",
            "--print",
            "before_dl:@@TITLE %(title)s",
            "--print",
            "before_dl:@@THUMB %(thumbnail)s",
            "--print",
            "after_move:@@FILE %(filepath)s",
            "--no-quiet",
            "--progress-template",
            "download:@@PROG %(progress.downloaded_bytes)s|%(progress.total_bytes)s|"
            "%(progress.total_bytes_estimate)s|%(progress.speed)s|%(info.vcodec)s"};
        if (browser)
            expected << "--cookies-from-browser"
                     << "firefox";
        EXPECT_EQ(args, expected);
        EXPECT_FALSE(QFileInfo::exists(folder));
    }
    // The folder existed while the tool ran, and the tool ran in the temporary folder.
    QFile cwd(argsFile + QStringLiteral(".cwd"));
    ASSERT_TRUE(cwd.open(QIODevice::ReadOnly));
    EXPECT_EQ(cwd.readAll(),
              (AppPaths::temporary() + u'\n' + AppPaths::temporary() + u'\n').toUtf8());
}

TEST_F(FakeYtDlp, SilenceStopsTheToolWithTheStallFailureAndLogLine) {
    settings.stallLimit = 1.0;
    settings.watchdogTick = 100ms;
    const QString marker =
        QStringLiteral("quorvin-silent-%1").arg(QCoreApplication::applicationPid());
    fake(QStringLiteral("echo '[youtube] abc: Downloading webpage'\nsh -c 'sleep 60; : %1'\n")
             .arg(marker)
             .toUtf8());
    QElapsedTimer timer;
    timer.start();
    const Failure failure = failureOf(download());
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(failure.title, u"网络太慢，卡在「获取视频网页」");
    EXPECT_TRUE(failure.advice.startsWith(u"这一步 1 秒都没收到新数据。YouTube 要经过 VPN"));
    EXPECT_TRUE(log().contains(u"yt-dlp 1.0 秒没有新数据，已停止（卡在：正在获取视频网页）"));
    EXPECT_TRUE(SiteTest::liveProcessesMentioning(marker).isEmpty());
    // Before the title the row named the stage.
    EXPECT_TRUE(phases.contains(Phase::makeWorking(QStringLiteral("正在获取视频网页…"))));
    EXPECT_FALSE(QFileInfo::exists(YtDlp::workingFolder(item)));
}

TEST_F(FakeYtDlp, RetryTalkWithoutNewBytesIsAStallAfterTheTitle) {
    settings.stallLimit = 1.0;
    settings.watchdogTick = 100ms;
    // A hung connection: yt-dlp keeps printing, but the byte count stays where it was.
    fake(
        "echo '@@TITLE clip'\necho '@@PROG 1048576|4194304|NA|6815744|avc1'\n"
        "while :; do echo '[download] Got error: timed out. Retrying (1/3)...'\n"
        "echo '@@PROG 1048576|4194304|NA|6815744|avc1'; sleep 0.1; done\n");
    QElapsedTimer timer;
    timer.start();
    const Failure failure = failureOf(download());
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(failure.title, u"网络太慢，卡在「下载视频」");
}

TEST_F(FakeYtDlp, PostProcessingSilenceIsNotAStall) {
    settings.stallLimit = 0.5;
    settings.watchdogTick = 100ms;
    fake("echo '[Merger] Merging formats into \"x.mp4\"'\nsleep 1.5\n" +
         produce(QStringLiteral("merged.webm")));
    EXPECT_EQ(std::get<QString>(download()), onDesktop(u"merged.webm"_qs));
}

TEST_F(FakeYtDlp, FourFieldProgressLineChangesNothing) {
    fake("echo '@@TITLE t'\necho '@@PROG 1|2|3|4'\n" + produce(QStringLiteral("t.webm")));
    EXPECT_EQ(std::get<QString>(download()), onDesktop(u"t.webm"_qs));
    EXPECT_EQ(phases,
              QList<Phase>{Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…"))});
}

TEST_F(FakeYtDlp, TheLaterOfTwoFileLinesIsTheResult) {
    fake(produce(QStringLiteral("first.webm")) + produce(QStringLiteral("second.webm")));
    EXPECT_EQ(std::get<QString>(download()), onDesktop(u"second.webm"_qs));
    EXPECT_EQ(SiteTest::filesIn(AppPaths::desktop()), QStringList{u"second.webm"_qs});
}

// yt-dlp said it was done, but what it left is no whole video: nothing reaches the Desktop.
TEST_F(FakeYtDlp, AnIncompleteOrMisplacedFileIsNeverCalledSaved) {
    QByteArray cut(4, '\0');
    cut[3] = 24;
    cut += "ftypisom" + QByteArray(12, '\0') + QByteArray("\0\x10\0\0mdat", 8) + "short";
    const QString cutFile = TestSupport::writeFile(TestSupport::home() + u"/cut.mp4"_qs, cut);
    const QString empty = TestSupport::writeFile(TestSupport::home() + u"/empty"_qs, "");
    const QString outside = TestSupport::writeFile(TestSupport::home() + u"/mine.webm"_qs, "mine");
    for (const QByteArray& script :
         {produce(u"cut.mp4"_qs, cutFile), produce(u"cut.m4a"_qs, cutFile),
          produce(u"noext"_qs, cutFile), produce(u"empty.webm"_qs, empty),
          QByteArray("echo '@@FILE ") + outside.toUtf8() + "'\n",
          produce(u"x.webm"_qs) + "echo \"@@FILE $out/../../../mine.webm\"\n"}) {
        fake(script);
        const Failure failure = failureOf(download());
        EXPECT_EQ(failure.title, u"下载的视频不完整") << script.toStdString();
        EXPECT_EQ(failure.actions, QList<Failure::Action>{Failure::Action::retry});
        EXPECT_TRUE(SiteTest::filesIn(AppPaths::desktop()).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(YtDlp::workingFolder(item)));
    }
    EXPECT_TRUE(log().contains(u"yt-dlp 的视频不完整（结构不完整）：cut.mp4"));
    EXPECT_TRUE(QFileInfo::exists(outside));
}

// A title that starts with dots would make a hidden file: the Desktop name drops them.
TEST_F(FakeYtDlp, NamesNeverBecomeHidden) {
    fake(produce(u"..hidden title.webm"_qs) + produce(u"...webm"_qs));
    EXPECT_EQ(std::get<QString>(download()), onDesktop(u"视频.webm"_qs));
    fake(produce(u"..hidden title.webm"_qs));
    EXPECT_EQ(std::get<QString>(download()), onDesktop(u"hidden title.webm"_qs));
}

TEST_F(FakeYtDlp, ExitZeroWithoutAFileLineIsAFailure) {
    fake("echo '@@TITLE t'\necho 'WARNING: something odd' >&2\nexit 0\n");
    const Failure failure = failureOf(download());
    EXPECT_EQ(failure.title, u"下载失败");
    EXPECT_TRUE(failure.advice.endsWith(u"详情：WARNING: something odd"));
    EXPECT_TRUE(log().contains(u"yt-dlp 失败（退出码 0）：WARNING: something odd"));
}

TEST_F(FakeYtDlp, AMegabyteOfStandardErrorKeepsTheDecisiveLastLine) {
    fake(
        // One awk writes the megabyte: a shell loop would start a subshell per line.
        "awk 'BEGIN { z = sprintf(\"%0100d\", 0); "
        "for (i = 0; i < 8192; i++) print \"WARNING: line \" i \" \" z }' >&2\n"
        "echo 'ERROR: [youtube] abc: Video unavailable' >&2\nexit 1\n");
    const Failure failure = failureOf(download());
    EXPECT_EQ(failure.title, u"视频不存在或已被删除");
    const QString logged = log();
    const qsizetype at = logged.indexOf(u"yt-dlp 失败（退出码 1）：");
    ASSERT_GE(at, 0);
    const QStringList lines = logged.mid(at).trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 12);  // the first holds the prefix and the first quoted line
    EXPECT_TRUE(lines.first().contains(u"WARNING: line 8181 "));
    EXPECT_EQ(lines.last(), u"ERROR: [youtube] abc: Video unavailable");
}

TEST_F(FakeYtDlp, InvalidUtf8IsReplacedNotRejected) {
    fake("printf '@@TITLE bad \\377\\376 title\\n'\nprintf 'ERROR: \\377 broken\\n' >&2\nexit 1\n");
    const Failure failure = failureOf(download());
    EXPECT_TRUE(item.title().startsWith(u"bad "));
    EXPECT_TRUE(item.title().contains(QChar::ReplacementCharacter));
    EXPECT_EQ(failure.title, u"下载失败");
    EXPECT_TRUE(failure.advice.contains(QChar::ReplacementCharacter));
}

TEST_F(FakeYtDlp, MissingOrNotExecutableToolsAskForTheInstall) {
    const auto expectMissing = [this] {
        const Failure failure = failureOf(download());
        EXPECT_EQ(failure.title, u"缺少下载组件");
        EXPECT_EQ(failure.advice,
                  u"除视频号以外的网站需要开源工具 yt-dlp 和 "
                  u"ffmpeg。\n打开「终端」，粘贴运行下面这行命令（已为你复制），"
                  u"装好后点「重试」：\n"_qs +
                      Tools::installCommand(settings.tools));
        EXPECT_EQ(failure.actions, (QList<Failure::Action>{Failure::Action::copyInstallCommand,
                                                           Failure::Action::retry}));
        EXPECT_FALSE(QFileInfo::exists(YtDlp::workingFolder(item)));
    };
    expectMissing();  // no yt-dlp at all
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/yt-dlp"),
                           "#!/bin/sh\necho '@@FILE /x'\n");
    expectMissing();  // present but not executable
    fake("echo '@@FILE /x'\n");
    QFile::remove(SiteTest::toolsDir() + QStringLiteral("/ffmpeg"));
    expectMissing();  // yt-dlp without ffmpeg
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(FakeYtDlp, AToolThatCannotStartGivesTheLaunchFailure) {
    SiteTest::writeTool(QStringLiteral("yt-dlp"), "#!/nonexistent/interpreter\n");
    const Failure failure = failureOf(download());
    EXPECT_EQ(failure.title, u"无法启动 yt-dlp");
    EXPECT_EQ(failure.actions, QList<Failure::Action>{Failure::Action::copyInstallCommand});
    EXPECT_FALSE(QFileInfo::exists(YtDlp::workingFolder(item)));
}

TEST_F(FakeYtDlp, CancellingStopsTheToolAndItsChildren) {
    const QString marker =
        QStringLiteral("quorvin-cancel-%1").arg(QCoreApplication::applicationPid());
    fake(QStringLiteral("echo '@@TITLE t'\nsh -c 'sleep 60; : %1' &\nwait\necho '@@FILE /x'\n")
             .arg(marker)
             .toUtf8());
    const auto cancel = CancelToken::make();
    QObject::connect(&item, &DownloadItem::titleChanged,
                     [cancel] { QTimer::singleShot(100, [cancel] { cancel->cancel(); }); });
    QElapsedTimer timer;
    timer.start();
    const Failure failure = failureOf(download(std::nullopt, cancel));
    EXPECT_TRUE(failure.isCancel);
    EXPECT_EQ(failure, Failure::cancelled());
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(SiteTest::liveProcessesMentioning(marker).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(YtDlp::workingFolder(item)));
}

// Quitting cancels the downloads, ends every tool group and exits without running the event
// loop again, so the run never resumes to clean up: the working folder of a tool that ignored
// the terminate request goes with its group.
TEST_F(FakeYtDlp, EndingTheGroupsAtQuitRemovesTheWorkingFolder) {
    const QString marker =
        QStringLiteral("quorvin-quit-%1").arg(QCoreApplication::applicationPid());
    fake(QStringLiteral("trap '' TERM\necho '@@TITLE t'\nwhile :; do sleep 0.1; : %1; done\n")
             .arg(marker)
             .toUtf8());
    const auto cancel = CancelToken::make();
    bool ended = false;
    auto run = [](DownloadItem* item, std::shared_ptr<CancelToken> token, YtDlp::Settings settings,
                  bool* done) -> QCoro::Task<> {
        try {
            co_await YtDlp::download(item, std::nullopt, token, settings);
        } catch (...) {
        }
        *done = true;
    };
    run(&item, cancel, settings, &ended);
    ASSERT_TRUE(TestSupport::waitUntil([this] { return item.title() == u"t"; }));
    const QString folder = YtDlp::workingFolder(item);
    ASSERT_TRUE(QFileInfo::exists(folder));

    cancel->cancel();
    ProcessGroup::endAll(300ms);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(SiteTest::liveProcessesMentioning(marker).isEmpty());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return ended; }));
}

TEST_F(FakeYtDlp, CancelledBeforeTheStartRunsNothing) {
    const QString witness = TestSupport::home() + QStringLiteral("/ran");
    fake(QStringLiteral("touch '%1'\necho '@@FILE /x'\n").arg(witness).toUtf8());
    const auto cancel = CancelToken::make();
    cancel->cancel();
    EXPECT_EQ(failureOf(download(std::nullopt, cancel)), Failure::cancelled());
    EXPECT_FALSE(QFile::exists(witness));
}

TEST_F(FakeYtDlp, CancelAfterASuccessfulEndStillReportsTheCancellation) {
    const auto cancel = CancelToken::make();
    // The tool finishes its work, then the user cancels in its last moment.
    fake(produce(u"x.webm"_qs) + "sleep 0.5\n");
    QTimer::singleShot(200, [cancel] { cancel->cancel(); });
    EXPECT_EQ(failureOf(download(std::nullopt, cancel)), Failure::cancelled());
    EXPECT_TRUE(SiteTest::filesIn(AppPaths::desktop()).isEmpty());
}
