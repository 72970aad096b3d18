// One Quorvin per user, and an orderly end: the real program under a real desktop.

#include "app/desktop_session.h"

#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>

namespace {

using namespace std::chrono_literals;

bool started(int count) {
    return TestSupport::waitUntil(
        [&] { return logLinesContaining(QStringLiteral("App 启动（")) == count; }, 10s);
}

class SingleInstanceApp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(desktop.problem(), QString());
        Settings::setValue(QStringLiteral("welcomed2"), true);
    }
    DesktopSession desktop{DesktopSession::Tray::xembed};
};

TEST_F(SingleInstanceApp, SecondLaunchShowsTheFirstsPanelAndLeavesNoTrace) {
    QProcess* first = desktop.startApp();
    ASSERT_TRUE(started(1));
    TestSupport::waitUntil(
        [&] { return !desktop.windowsOfClass(QStringLiteral("quorvin")).isEmpty(); }, 5s);

    // The second copy gets a home of its own: anything it created would show there.
    const QString otherHome = TestSupport::home() + QStringLiteral("/second");
    QDir().mkpath(otherHome);
    QElapsedTimer clock;
    clock.start();
    QProcess second;
    QProcessEnvironment environment = desktop.environment();
    for (const char* name :
         {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        environment.insert(QString::fromLatin1(name), otherHome);
    }
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"), {});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    EXPECT_EQ(QDir(otherHome).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 启动（")), 1);
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SingleInstanceApp, KilledFirstCopyDoesNotBlockTheNext) {
    QProcess* first = desktop.startApp();
    ASSERT_TRUE(started(1));
    ::kill(pid_t(first->processId()), SIGKILL);
    first->waitForFinished(3000);

    QProcess* next = desktop.startApp();
    ASSERT_TRUE(started(2));
    // It took over the socket too: a third launch reaches it and ends at once.
    const auto third = desktop.run(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"), {});
    EXPECT_EQ(third.exitCode, 0);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    EXPECT_EQ(next->state(), QProcess::Running);
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 启动（")), 2);
}

// Whether the process has a handler installed for `signal` (the "SigCgt" mask of its status).
bool catchesSignal(pid_t pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        const quint64 mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
        return mask & (quint64(1) << (signal - 1));
    }
    return false;
}

class TerminationSignal : public SingleInstanceApp, public ::testing::WithParamInterface<int> {};

TEST_P(TerminationSignal, EndsTheRunInOrder) {
    QProcess* app = desktop.startApp();
    ASSERT_TRUE(started(1));
    // The handlers come after the tray icon in the start-up order: wait until the kernel says
    // the signal is caught, not merely until the icon shows.
    const pid_t pid = pid_t(app->processId());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return catchesSignal(pid, GetParam()); }, 10s));
    ::kill(pid_t(app->processId()), GetParam());
    ASSERT_TRUE(app->waitForFinished(5000));
    EXPECT_EQ(app->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app->exitCode(), 0);
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 退出")), 1);
}

INSTANTIATE_TEST_SUITE_P(App, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(AppProgram, VersionAndNoDisplay) {
    const auto version = TestSupport::run(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"),
                                          {QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "quorvin " QUORVIN_VERSION "\n");

    QProcess headless;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    headless.setProcessEnvironment(environment);
    headless.start(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"), {});
    ASSERT_TRUE(headless.waitForFinished(5000));
    EXPECT_EQ(headless.exitCode(), 1);
    EXPECT_TRUE(headless.readAllStandardError().contains("quorvin-cli get"));
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 启动（")), 0);
}

}  // namespace
