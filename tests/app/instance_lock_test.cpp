// The single-instance lock against what a killed copy, a power cut, a read-only runtime folder or
// another user's folder in the shared temporary folder leave in its way: Quorvin starts, or says
// why it cannot, and never ends silently.

#include "app/desktop_session.h"

#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

bool started() {
    return TestSupport::waitUntil(
        [] { return logLinesContaining(QStringLiteral("App 启动（")) == 1; }, 10s);
}

class InstanceLock : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(desktop.problem(), QString());
        Settings::setValue(QStringLiteral("welcomed2"), true);
    }
    QString runtime() const {
        return desktop.environment().value(QStringLiteral("XDG_RUNTIME_DIR"));
    }
    // A launch with `extra` in its environment that must reach the running copy and end.
    void secondLaunchReachesTheFirst(const QStringList& extra = {}) {
        QProcess* second = desktop.startApp(extra);
        ASSERT_TRUE(second->waitForFinished(8000));
        EXPECT_EQ(second->exitCode(), 0);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
        EXPECT_EQ(logLinesContaining(QStringLiteral("App 启动（")), 1);
    }

    DesktopSession desktop{DesktopSession::Tray::xembed};
};

enum class Leftover { empty, junk, folder };

class LeftoverLock : public InstanceLock, public ::testing::WithParamInterface<Leftover> {};

TEST_P(LeftoverLock, IsTakenOverWhenNoLiveCopyHoldsIt) {
    const QString lock = runtime() + QStringLiteral("/quorvin.lock");
    QFile file(lock);
    switch (GetParam()) {
        case Leftover::empty:  // a copy killed between creating the lock and writing it
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            break;
        case Leftover::junk:  // a power cut in the middle of the write
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("\x01\x7f garbage\nnot-a-pid\n");
            break;
        case Leftover::folder:
            ASSERT_TRUE(QDir().mkdir(lock));
            break;
    }
    file.close();

    QProcess* app = desktop.startApp();
    ASSERT_TRUE(started()) << "ended with " << app->exitCode() << " and no log line";
    EXPECT_TRUE(QFileInfo(lock).isFile());
    secondLaunchReachesTheFirst();
    EXPECT_EQ(app->state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(App, LeftoverLock,
                         ::testing::Values(Leftover::empty, Leftover::junk, Leftover::folder),
                         [](const auto& info) {
                             return info.param == Leftover::empty  ? "Empty"
                                    : info.param == Leftover::junk ? "Junk"
                                                                   : "Folder";
                         });

TEST_F(InstanceLock, ReadOnlyRuntimeFolderFallsBackToAPrivateFolder) {
    // Root may write into any folder whatever its mode; only a read-only mount refuses root.
    const QString readOnly = TestSupport::home() + QStringLiteral("/read-only-run");
    ASSERT_TRUE(QDir().mkpath(readOnly));
    if (::mount("tmpfs", QFile::encodeName(readOnly).constData(), "tmpfs", MS_RDONLY,
                "size=64k,mode=0700") != 0) {
        GTEST_SKIP() << "mounting a read-only tmpfs needs root";
    }
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(readOnly), MNT_DETACH); });
    const QStringList extra{QStringLiteral("XDG_RUNTIME_DIR=") + readOnly};

    QProcess* app = desktop.startApp(extra);
    ASSERT_TRUE(started()) << "ended with " << app->exitCode() << " and no log line";
    const QString fallback =
        qEnvironmentVariable("TMPDIR") + QStringLiteral("/quorvin-") + QString::number(::getuid());
    EXPECT_TRUE(QFileInfo(fallback + QStringLiteral("/quorvin.lock")).isFile());
    secondLaunchReachesTheFirst(extra);
}

enum class Squat { folder, symlink };

class OthersFallbackFolder : public InstanceLock, public ::testing::WithParamInterface<Squat> {};

// Without XDG_RUNTIME_DIR the lock lives in the shared temporary folder, where another user can
// take the name first: as a folder of theirs, or as a link to one.
TEST_P(OthersFallbackFolder, IsLeftAloneForAPrivateFolderOfOurOwn) {
    const QString temp = qEnvironmentVariable("TMPDIR");
    const QString name = QStringLiteral("quorvin-") + QString::number(::getuid());
    const QString theirs = TestSupport::home() + QStringLiteral("/theirs");
    ASSERT_TRUE(QDir().mkpath(theirs));
    // Open to all, so even a user other than root could write into it.
    ASSERT_EQ(::chmod(QFile::encodeName(theirs), 0777), 0);
    ASSERT_EQ(::chown(QFile::encodeName(theirs), kNobody, kNobody), 0);
    const QByteArray squatted = QFile::encodeName(temp + u'/' + name);
    if (GetParam() == Squat::folder) {
        ASSERT_TRUE(QFile::rename(theirs, QFile::decodeName(squatted)));
    } else {
        ASSERT_EQ(::symlink(QFile::encodeName(theirs).constData(), squatted.constData()), 0);
        ASSERT_EQ(::lchown(squatted.constData(), kNobody, kNobody), 0);
    }
    const QString watched = GetParam() == Squat::folder ? QFile::decodeName(squatted) : theirs;
    const QStringList extra{QStringLiteral("XDG_RUNTIME_DIR=")};

    QProcess* app = desktop.startApp(extra);
    ASSERT_TRUE(started()) << "ended with " << app->exitCode() << " and no log line";
    EXPECT_EQ(QDir(watched).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
    const QStringList ours =
        QDir(temp).entryList({name + QStringLiteral("-*")}, QDir::Dirs | QDir::Hidden);
    ASSERT_EQ(ours.size(), 1);
    const QByteArray folder = QFile::encodeName(temp + u'/' + ours.first());
    struct stat info {};
    ASSERT_EQ(::lstat(folder.constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, ::getuid());
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_TRUE(QFileInfo(QFile::decodeName(folder) + QStringLiteral("/quorvin.lock")).isFile());
    // The next launch finds the same private folder, so there is still one Quorvin.
    secondLaunchReachesTheFirst(extra);
}

INSTANTIATE_TEST_SUITE_P(App, OthersFallbackFolder,
                         ::testing::Values(Squat::folder, Squat::symlink), [](const auto& info) {
                             return info.param == Squat::folder ? "Folder" : "Symlink";
                         });

TEST_F(InstanceLock, ALockThatCannotBeTakenAnywhereIsExplainedAndTheStartEnds) {
    // No runtime folder, and in our private folder a folder with something in it where the lock
    // goes: nobody's to delete.
    const QString folder =
        qEnvironmentVariable("TMPDIR") + QStringLiteral("/quorvin-") + QString::number(::getuid());
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chmod(QFile::encodeName(folder), 0700), 0);
    const QString lock = folder + QStringLiteral("/quorvin.lock");
    ASSERT_TRUE(QDir().mkpath(lock + QStringLiteral("/kept")));

    QProcess app;
    QProcessEnvironment environment = desktop.environment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString());
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"), {});
    // The dialog says so on the display; the user closes it.
    QStringList dialogs;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            dialogs = desktop.visibleWindows(QStringLiteral("Quorvin"));
            return !dialogs.isEmpty() || app.state() == QProcess::NotRunning;
        },
        10s));
    ASSERT_EQ(dialogs.size(), 1) << "no dialog; ended with " << app.exitCode();
    desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), dialogs[0]});
    ASSERT_TRUE(app.waitForFinished(5000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 1);
    const QString said = QString::fromUtf8(app.readAllStandardError());
    EXPECT_TRUE(said.contains(lock)) << said.toStdString();
    EXPECT_EQ(logLinesContaining(lock), 1);
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 启动（")), 0);
    EXPECT_TRUE(QFileInfo(lock + QStringLiteral("/kept")).isDir());
}

}  // namespace
