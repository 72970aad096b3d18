#include "common/http_test_server.h"
#include "common/test_media.h"
#include "common/test_support.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>

namespace {

QString makeClip(int seconds) {
    const QString clip = TestSupport::home() + QStringLiteral("/media/clip%1.mp4").arg(seconds);
    EXPECT_TRUE(TestMedia::makeClip(clip, seconds, QSize(320, 240), 25));
    return clip;
}

// Serves files by name; `slow` sends them in small pieces so a download stays running.
HttpTestServer::Handler serving(const QString& folder, bool slow) {
    return [files = HttpTestServer::folder(folder), slow](const HttpTestServer::Request& request) {
        HttpTestServer::Reply reply = files(request);
        if (slow) {
            reply.throttleBytes = 8 * 1024;
            reply.throttleMs = 100;
        }
        return reply;
    };
}

}  // namespace

TEST(CliGet, DownloadsALinkAndPrintsWhereItWentTo) {
    makeClip(2);
    HttpTestServer server(serving(TestSupport::home() + QStringLiteral("/media"), false));
    const auto result =
        TestSupport::run(TestSupport::cliPath(),
                         {QStringLiteral("get"), server.origin() + QStringLiteral("/clip2.mp4")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QString saved = AppPaths::desktop() + QStringLiteral("/clip2.mp4");
    EXPECT_TRUE(result.out.contains(("已保存：" + saved).toUtf8())) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains("正在解析链接…"));
    EXPECT_GT(QFileInfo(saved).size(), 1000);
    EXPECT_TRUE(TestSupport::temporaryLeftovers().isEmpty());
}

TEST(CliGet, APastedTextOnStandardInput) {
    makeClip(1);
    HttpTestServer server(serving(TestSupport::home() + QStringLiteral("/media"), false));
    const QByteArray pasted = "看看这个视频 " + server.origin().toUtf8() + "/clip1.mp4，很好看";
    const auto result = TestSupport::run(TestSupport::cliPath(), {QStringLiteral("get")}, pasted);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(AppPaths::desktop() + QStringLiteral("/clip1.mp4")));
}

TEST(CliGet, FailuresPrintTitleAndAdviceAndExitNonZero) {
    HttpTestServer server(serving(TestSupport::home() + QStringLiteral("/media"), false));
    const auto missing =
        TestSupport::run(TestSupport::cliPath(),
                         {QStringLiteral("get"), server.origin() + QStringLiteral("/gone.mp4")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("视频不存在或已被删除")) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains("请在浏览器里打开链接确认能正常播放"));

    // A Channels link without a stored login says how to log in.
    const auto channels =
        TestSupport::run(TestSupport::cliPath(),
                         {QStringLiteral("get"), QStringLiteral("https://weixin.qq.com/sph/AbC")});
    EXPECT_EQ(channels.exitCode, 1);
    EXPECT_TRUE(channels.err.contains("登录方法")) << channels.err.toStdString();

    const auto noLink = TestSupport::run(TestSupport::cliPath(),
                                         {QStringLiteral("get"), QStringLiteral("没有链接")});
    EXPECT_EQ(noLink.exitCode, 2);
    EXPECT_TRUE(noLink.err.contains("没有找到链接：没有链接"));
    EXPECT_TRUE(QDir(AppPaths::desktop()).entryList(QDir::Files).isEmpty());
}

TEST(CliGet, InterruptCancelsEverythingAndLeavesNothingBehind) {
    const QString clip = makeClip(30);
    HttpTestServer server(serving(TestSupport::home() + QStringLiteral("/media"), true));
    // A query marks this run's processes so survivors can be found by their command line.
    const QString link = server.origin() + QStringLiteral("/clip30.mp4?run=interrupt-check");
    QProcess cli;
    cli.start(TestSupport::cliPath(), {QStringLiteral("get"), link});
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray out;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            out += cli.readAllStandardOutput();
            return out.contains("%") || cli.state() == QProcess::NotRunning;
        },
        std::chrono::seconds(60)))
        << out.toStdString();
    ASSERT_EQ(cli.state(), QProcess::Running)
        << out.toStdString() << cli.readAllStandardError().toStdString();
    EXPECT_FALSE(TestSupport::liveProcessesMentioning(QStringLiteral("interrupt-check")).size() < 2)
        << "yt-dlp should be running beside quorvin-cli";

    ::kill(pid_t(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + SIGINT);
    EXPECT_TRUE(TestSupport::liveProcessesMentioning(QStringLiteral("interrupt-check")).isEmpty())
        << TestSupport::liveProcessesMentioning(QStringLiteral("interrupt-check"))
               .join(u'\n')
               .toStdString();
    EXPECT_TRUE(QDir(AppPaths::desktop()).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << QDir(AppPaths::desktop()).entryList(QDir::Files | QDir::Hidden).join(u',').toStdString();
    EXPECT_TRUE(TestSupport::temporaryLeftovers().isEmpty())
        << TestSupport::temporaryLeftovers().join(u',').toStdString();
    EXPECT_TRUE(QFileInfo::exists(clip));
}

TEST(CliGet, ATerminationSignalWhileStartingLeavesNothingBehind) {
    makeClip(1);
    HttpTestServer server(serving(TestSupport::home() + QStringLiteral("/media"), true));
    QStringList arguments = {QStringLiteral("get")};
    for (int i = 0; i < 60; ++i) {
        arguments << server.origin() + QStringLiteral("/clip1.mp4?run=early-stop&n=%1").arg(i);
    }
    // The signal arrives once the handlers are in place, while the first downloads start.
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUORVIN_READY_LINE"), QStringLiteral("1"));
    cli.setProcessEnvironment(environment);
    cli.start(TestSupport::cliPath(), arguments);
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray err;
    ASSERT_TRUE(TestSupport::waitUntil([&] {
        err += cli.readAllStandardError();
        return err.startsWith("ready\n") || cli.state() == QProcess::NotRunning;
    })) << err.toStdString();
    ASSERT_EQ(cli.state(), QProcess::Running) << err.toStdString();
    ::kill(pid_t(cli.processId()), SIGTERM);
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + SIGTERM) << (err + cli.readAllStandardError()).toStdString();
    EXPECT_TRUE(TestSupport::liveProcessesMentioning(QStringLiteral("early-stop")).isEmpty());
    EXPECT_TRUE(TestSupport::temporaryLeftovers().isEmpty())
        << TestSupport::temporaryLeftovers().join(u',').toStdString();
}

TEST(CliGet, AReaderThatGoesAwayEndsTheRunInOrder) {
    makeClip(4);
    HttpTestServer server(serving(TestSupport::home() + QStringLiteral("/media"), true));
    // `get … | head -1`: the second line meets a closed pipe.
    const auto result = TestSupport::run(
        QStringLiteral("bash"),
        {QStringLiteral("-c"),
         QStringLiteral("\"$0\" get \"$1\" | head -1; echo \"${PIPESTATUS[0]}\""),
         TestSupport::cliPath(), server.origin() + QStringLiteral("/clip4.mp4?run=pipe-check")});
    const QList<QByteArray> lines = result.out.split('\n');
    ASSERT_GE(lines.size(), 2) << result.out.toStdString();
    EXPECT_TRUE(lines[0].contains("clip4")) << result.out.toStdString();
    EXPECT_EQ(lines[1], QByteArray::number(128 + SIGPIPE)) << result.err.toStdString();
    EXPECT_TRUE(TestSupport::liveProcessesMentioning(QStringLiteral("pipe-check")).isEmpty());
    EXPECT_TRUE(TestSupport::temporaryLeftovers().isEmpty())
        << TestSupport::temporaryLeftovers().join(u',').toStdString();
}

TEST(CliGet, TitlesAreMadePrintableAndCredentialsNeverShow) {
    // A page whose title would clear the screen, retitle the terminal and reverse the text.
    const QByteArray title = "&#27;[2J&#27;]0;owned&#7;Clip&#8238;4pm.exe&#155;31m";
    makeClip(1);
    const auto files = serving(TestSupport::home() + QStringLiteral("/media"), false);
    HttpTestServer server([&](const HttpTestServer::Request& request) {
        if (request.path() == "/page") {
            return HttpTestServer::Reply::text("<html><head><title>" + title +
                                                   "</title></head><body><video "
                                                   "src=\"/clip1.mp4\"></video></body></html>",
                                               200, "text/html");
        }
        return files(request);
    });
    QString link = server.origin() + QStringLiteral("/page");
    link.replace(QStringLiteral("://"), QStringLiteral("://someone:hunter2@"));
    const auto result = TestSupport::run(TestSupport::cliPath(), {QStringLiteral("get"), link});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QByteArray printed = result.out + result.err;
    EXPECT_TRUE(printed.contains("Clip")) << printed.toStdString();
    for (const QByteArray& forbidden :
         {QByteArray("\x1b"), QByteArray("\x07"), QByteArray("\u202e"), QByteArray("\xc2\x9b"),
          QByteArray("hunter2")}) {
        EXPECT_FALSE(printed.contains(forbidden)) << printed.toStdString();
    }
    QFile log(AppPaths::logs() + QStringLiteral("/app.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    EXPECT_TRUE(logged.contains("127.0.0.1")) << logged.toStdString();
    EXPECT_FALSE(logged.contains("hunter2")) << logged.toStdString();
}
