// Links from outside: "quorvin LINK" into a running copy and into none, and what anyone of this
// user can write to the running copy's socket.

#include "app/desktop_session.h"

#include "support/settings.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A port nothing listens on: the download starts and fails at once, on loopback.
const QString kLink = QStringLiteral("http://127.0.0.1:9/clip.mp4");

class LinksFromOutside : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(desktop.problem(), QString());
        Settings::setValue(QStringLiteral("welcomed2"), true);
    }

    void TearDown() override {
        for (const auto& process : processes) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }

    QProcess* launch(const QStringList& arguments, const QByteArray& input = {}) {
        auto* process = new QProcess();
        processes.emplace_back(process);
        process->setProcessEnvironment(desktop.environment());
        process->start(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"), arguments);
        if (!input.isNull()) process->write(input);
        process->closeWriteChannel();
        return process;
    }

    static int starts(const QString& link) {
        return logLinesContaining(QStringLiteral("开始下载：[其他网站] ") + link);
    }

    DesktopSession desktop{DesktopSession::Tray::xembed};
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(LinksFromOutside, ALaunchWithLinksStartsThemHereOrInTheRunningCopy) {
    // No copy runs: this one starts and downloads the link.
    QProcess* first = launch({kLink});
    ASSERT_TRUE(TestSupport::waitUntil([] { return starts(kLink) == 1; }, 15s));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));

    // A share text piped into a second launch goes to the first, and the second ends.
    const QString second = QStringLiteral("http://127.0.0.1:9/other.mp4");
    QProcess* handing = launch({}, "看这个 " + second.toUtf8() + "。复制此链接");
    ASSERT_TRUE(handing->waitForFinished(5000));
    EXPECT_EQ(handing->exitCode(), 0) << handing->readAllStandardError().toStdString();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return starts(second) == 1; }, 5s));

    // A refused input gets its reason and changes nothing.
    QProcess* refused = launch({QStringLiteral("ftp://127.0.0.1/x")});
    ASSERT_TRUE(refused->waitForFinished(5000));
    EXPECT_NE(refused->exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(refused->readAllStandardError()).contains(u"只接受 http"));
    EXPECT_EQ(logLinesContaining(QStringLiteral("开始下载：")), 2);
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 启动（")), 1);
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(LinksFromOutside, HostileSocketInputGetsOneLineBackAndChangesNothing) {
    desktop.startApp();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.ask("show\n") == "ok\n"; }, 15s));

    EXPECT_EQ(desktop.ask("open " + QByteArray("ftp://127.0.0.1/x").toBase64() + '\n'),
              "error 只接受 http 或 https 链接，这个不是：ftp://127.0.0.1/x\n");
    EXPECT_EQ(desktop.ask("open %%%%\n"), "error 消息格式不对\n");
    EXPECT_EQ(desktop.ask(QByteArray("\x00\xff\x1b[2J\n", 7)), "error 消息格式不对\n");
    QByteArray many;
    for (int i = 0; i <= 100; ++i) many += "https://a.example/" + QByteArray::number(i) + ' ';
    EXPECT_EQ(desktop.ask("open " + many.toBase64() + '\n'), "error 链接太多：一次最多 100 个\n");
    // A line that never ends is cut off at the bound, not buffered without end.
    EXPECT_EQ(desktop.ask(QByteArray(200 * 1024, 'A')), "error 内容太长：一次最多 64 KiB\n");

    EXPECT_EQ(desktop.ask("show\n"), "ok\n");  // still serving
    EXPECT_EQ(logLinesContaining(QStringLiteral("开始下载：")), 0);
}

}  // namespace
