#include "sites/runner.h"
#include "common/test_support.h"
#include "core/failure.h"
#include "sites/site_test_support.h"
#include "support/app_paths.h"
#include "support/shell.h"

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <csignal>

#include <sys/resource.h>
#include <thread>

namespace {

Runner::Result runScript(const QByteArray& script, QStringList* delivered = nullptr) {
    const QString tool = SiteTest::writeTool(QStringLiteral("tool"), script);
    Runner runner(tool, {}, Tools::environment(Tools::Settings{}));
    return QCoro::waitFor(runner.run([delivered](const QString& line) {
        if (delivered) delivered->append(line);
    }));
}

}  // namespace

TEST(Runner, DeliversAndKeepsBothLinesWhenTheLastHasNoNewline) {
    QStringList delivered;
    const Runner::Result result = runScript("#!/bin/sh\nprintf 'one\\ntwo'\n", &delivered);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(delivered, (QStringList{"one", "two"}));
    EXPECT_EQ(result.lines, (QStringList{"one", "two"}));
}

TEST(Runner, DeliversProgressLinesWithoutKeepingThem) {
    QStringList delivered;
    const Runner::Result result = runScript(
        "#!/bin/sh\necho '@@TITLE t'\necho '@@PROG 1|2|NA|NA|none'\necho '@@FILE /x'\nexit 3\n",
        &delivered);
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(delivered, (QStringList{"@@TITLE t", "@@PROG 1|2|NA|NA|none", "@@FILE /x"}));
    EXPECT_EQ(result.lines, (QStringList{"@@TITLE t", "@@FILE /x"}));
}

TEST(Runner, SplitsLinesWrittenInPiecesAndKeepsTheirCharacters) {
    // The title arrives in three writes with pauses, cut inside a Chinese character.
    QStringList delivered;
    runScript(
        "#!/bin/sh\nprintf '@@TITLE \\350\\247'; sleep 0.2; printf '\\206\\351\\242\\221'; "
        "sleep 0.2; printf '\\r\\n\\n   \\n'\n",
        &delivered);
    EXPECT_EQ(delivered, QStringList{QStringLiteral("@@TITLE 视频")});
}

TEST(Runner, CapsStandardErrorWhileRunning) {
    // 1 MB of standard error in 4 KiB writes while the child runs.
    const Runner::Result result = runScript(
        "#!/usr/bin/env python3\nimport sys, time\nfor i in range(256):\n"
        "    sys.stderr.write('e' * 4095 + '\\n'); sys.stderr.flush()\n"
        "    if i % 32 == 0: time.sleep(0.01)\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_GE(result.errorText.size(), Runner::kStderrCap);
    EXPECT_LT(result.errorText.size(), 600000);  // far from the megabyte written
}

TEST(Runner, GivesTheChildTheToolEnvironmentTemporaryFolderAndNullInput) {
    qputenv("https_proxy", "");
    qputenv("HTTP_PROXY", "http://127.0.0.1:9");
    const Runner::Result result = runScript(
        "#!/bin/sh\npwd\necho \"PATH=$PATH\"\necho \"LANG=$LANG\"\n"
        "echo \"https=${https_proxy-unset} http=$HTTP_PROXY\"\n"
        "if read line; then echo \"stdin=$line\"; else echo stdin-empty; fi\n");
    ASSERT_EQ(result.status, 0);
    ASSERT_EQ(result.lines.size(), 5);
    EXPECT_EQ(result.lines[0], AppPaths::temporary());
    EXPECT_TRUE(result.lines[1].startsWith(u"PATH=/opt/homebrew/bin:/usr/local/bin:"));
    EXPECT_EQ(result.lines[2], u"LANG=en_US.UTF-8");
    EXPECT_EQ(result.lines[3], u"https=unset http=http://127.0.0.1:9");
    EXPECT_EQ(result.lines[4], u"stdin-empty");
}

TEST(Runner, TheToolAndWhatItStartsRunBelowTheDesktop) {
    // Niceness counts only within a scheduling group, and the tool's new session has a group
    // of its own where the kernel groups by session: both must be lowered.
    const Runner::Result result = runScript(
        "#!/bin/sh\nnice\nsh -c nice\n"
        "if [ -r /proc/self/autogroup ]; then cat /proc/self/autogroup; else echo none; fi\n");
    ASSERT_EQ(result.status, 0);
    ASSERT_EQ(result.lines.size(), 3);
    const int expected = std::min(19, ::getpriority(PRIO_PROCESS, 0) + 10);
    EXPECT_EQ(result.lines[0].toInt(), expected);
    EXPECT_EQ(result.lines[1].toInt(), expected);  // ffmpeg, started by yt-dlp
    if (result.lines[2] != u"none") {
        EXPECT_TRUE(result.lines[2].endsWith(u" nice 10")) << result.lines[2].toStdString();
    }
}

TEST(Runner, MissingExecutableThrowsTheLaunchFailure) {
    Runner runner(TestSupport::home() + QStringLiteral("/no-such-tool"), {},
                  Tools::environment(Tools::Settings{}));
    const auto outcome = SiteTest::outcome(runner.run({}));
    ASSERT_TRUE(std::holds_alternative<Failure>(outcome));
    {
        const Failure& failure = std::get<Failure>(outcome);
        EXPECT_EQ(failure.title, u"无法启动 yt-dlp");
        EXPECT_FALSE(failure.advice.isEmpty());
        EXPECT_EQ(failure.actions, QList<Failure::Action>{Failure::Action::copyInstallCommand});
        EXPECT_FALSE(failure.isCancel);
    }
}

TEST(Runner, TerminateReachesTheWholeGroupAndNothingElse) {
    // The tool starts a grandchild (as yt-dlp starts ffmpeg) and waits for it.
    const QString marker =
        QStringLiteral("quorvin-grandchild-%1").arg(QCoreApplication::applicationPid());
    const QString tool = SiteTest::writeTool(
        QStringLiteral("tool"),
        QStringLiteral("#!/bin/sh\nsh -c 'sleep 60; : %1' &\necho started\nwait\n")
            .arg(marker)
            .toUtf8());
    Runner runner(tool, {}, Tools::environment(Tools::Settings{}));
    auto task = runner.run([&](const QString& line) {
        if (line == u"started") QTimer::singleShot(200, [&] { runner.terminate(); });
    });
    const Runner::Result result = QCoro::waitFor(task);
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(SiteTest::liveProcessesMentioning(marker).isEmpty())
        << SiteTest::liveProcessesMentioning(marker).join(u'\n').toStdString();
}

TEST(Runner, AGroupThatIgnoresTerminateIsKilledAfterTheGrace) {
    // Both the tool and its child shrug off SIGTERM; only the forced kill ends them.
    const QString marker =
        QStringLiteral("quorvin-stubborn-%1").arg(QCoreApplication::applicationPid());
    const QString tool = SiteTest::writeTool(
        QStringLiteral("tool"),
        QStringLiteral("#!/bin/sh\ntrap '' TERM\nsh -c \"trap '' TERM; sleep 60; : %1\" &\n"
                       "echo started\nwhile :; do sleep 1; done\n")
            .arg(marker)
            .toUtf8());
    Runner runner(tool, {}, Tools::environment(Tools::Settings{}));
    QElapsedTimer sinceTerminate;
    auto task = runner.run([&](const QString& line) {
        if (line != u"started") return;
        sinceTerminate.start();
        // From another thread, as a cancellation may come.
        std::thread([group = runner.group()] { group->terminate(); }).join();
    });
    const bool ended = TestSupport::waitUntil(
        [&] { return task.isReady(); }, ProcessGroup::kTerminateGrace + std::chrono::seconds(3));
    if (!ended) {
        for (qint64 leader : ProcessGroup::liveLeaders()) ::kill(-pid_t(leader), SIGKILL);
    }
    ASSERT_TRUE(ended) << "the run hangs on a tool that ignores SIGTERM";
    EXPECT_GE(sinceTerminate.elapsed(), 4500);  // the grace period was given
    EXPECT_TRUE(SiteTest::liveProcessesMentioning(marker).isEmpty())
        << SiteTest::liveProcessesMentioning(marker).join(u'\n').toStdString();
}

TEST(Runner, EndAllEndsEveryLiveGroup) {
    const QString marker =
        QStringLiteral("quorvin-quit-%1").arg(QCoreApplication::applicationPid());
    const QString tool = SiteTest::writeTool(
        QStringLiteral("tool"),
        QStringLiteral("#!/bin/sh\ntrap '' TERM\nsh -c 'sleep 60; : %1' &\necho started\nwait\n")
            .arg(marker)
            .toUtf8());
    Runner first(tool, {}, Tools::environment(Tools::Settings{}));
    Runner second(tool, {}, Tools::environment(Tools::Settings{}));
    int started = 0;
    auto firstRun = first.run([&](const QString&) { ++started; });
    auto secondRun = second.run([&](const QString&) { ++started; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return started == 2; }, std::chrono::seconds(5)));
    EXPECT_EQ(ProcessGroup::liveLeaders().size(), 2);
    // What the quit path does: the tools that ignore SIGTERM are killed after the short grace.
    ProcessGroup::endAll(std::chrono::milliseconds(300));
    // SIGKILL cannot be refused, but the kernel takes a moment to tear the processes down.
    EXPECT_TRUE(
        TestSupport::waitUntil([&] { return SiteTest::liveProcessesMentioning(marker).isEmpty(); },
                               std::chrono::seconds(2)))
        << SiteTest::liveProcessesMentioning(marker).join(u'\n').toStdString();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return firstRun.isReady() && secondRun.isReady(); },
                                       std::chrono::seconds(3)));
    EXPECT_TRUE(ProcessGroup::liveLeaders().isEmpty());
}

TEST(Runner, TerminateAfterTheEndDoesNothing) {
    const QString tool = SiteTest::writeTool(QStringLiteral("tool"), "#!/bin/sh\necho done\n");
    Runner runner(tool, {}, Tools::environment(Tools::Settings{}));
    const Runner::Result result = QCoro::waitFor(runner.run({}));
    runner.terminate();
    runner.terminate();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.lines, QStringList{"done"});
}

TEST(Runner, TerminateBeforeTheLaunchKeepsTheChildFromStarting) {
    const QString witness = TestSupport::home() + QStringLiteral("/ran");
    const QString tool = SiteTest::writeTool(
        QStringLiteral("tool"), QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(witness).toUtf8());
    Runner runner(tool, {}, Tools::environment(Tools::Settings{}));
    runner.terminate();
    const Runner::Result result = QCoro::waitFor(runner.run({}));
    EXPECT_NE(result.status, 0);
    EXPECT_FALSE(QFile::exists(witness));
}

TEST(Shell, ReturnsStatusAndInterleavedOutputUntrimmed) {
    const QString tool = SiteTest::writeTool(
        QStringLiteral("tool"), "#!/bin/sh\necho out\necho err >&2\necho \"$1\"\nexit 4\n");
    const CommandResult result = Shell::run(tool, {QStringLiteral("a b")});
    EXPECT_EQ(result.status, 4);
    EXPECT_EQ(result.output, u"out\nerr\na b\n");
}

TEST(Shell, MissingExecutableGivesMinusOneAndADescription) {
    const CommandResult result = Shell::run(TestSupport::home() + QStringLiteral("/absent"), {});
    EXPECT_EQ(result.status, -1);
    EXPECT_FALSE(result.output.isEmpty());
}
