#include "support/log.h"
#include "common/test_support.h"
#include "support/app_paths.h"
#include "support/byte_count.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <thread>
#include <vector>

using TestSupport::logLines;

TEST(AppPaths, LinuxFoldersUnderTheHome) {
    const QString home = TestSupport::home();
    EXPECT_EQ(AppPaths::home(), home);
    EXPECT_EQ(AppPaths::support(), home + QStringLiteral("/.local/share/Quorvin"));
    EXPECT_EQ(AppPaths::logs(), home + QStringLiteral("/.local/state/Quorvin"));
    EXPECT_EQ(AppPaths::appLog(), home + QStringLiteral("/.local/state/Quorvin/app.log"));
    EXPECT_EQ(AppPaths::oldSupport(),
              home + QStringLiteral("/Library/Application Support/Pellimor"));
    EXPECT_EQ(AppPaths::oldLogs(), home + QStringLiteral("/Library/Logs/Pellimor"));
    EXPECT_EQ(AppPaths::desktop(), home + QStringLiteral("/Desktop"));
}

TEST(AppPaths, DesktopFollowsTheUserDirsFile) {
    TestSupport::writeFile(TestSupport::home() + QStringLiteral("/.config/user-dirs.dirs"),
                           "# written by xdg-user-dirs-update\n"
                           "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n"
                           "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n");
    EXPECT_EQ(AppPaths::desktop(), TestSupport::home() + QStringLiteral("/桌面"));
}

TEST(AppPaths, FoldersAreCreatedOwnerOnly) {
    AppPaths::ensureDirectories();
    for (const QString& folder : {AppPaths::support(), AppPaths::logs()}) {
        const QFileInfo info(folder);
        ASSERT_TRUE(info.isDir()) << folder.toStdString();
        EXPECT_EQ(info.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup |
                                        QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther),
                  QFile::Permissions());
    }
    // An existing folder keeps its permissions, and a second call is harmless.
    QFile::setPermissions(AppPaths::logs(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadGroup | QFile::ExeGroup);
    AppPaths::ensureDirectories();
    EXPECT_TRUE(QFileInfo(AppPaths::logs()).permissions() & QFile::ReadGroup);
}

TEST(Log, FirstWriteCreatesFolderAndOneLineInTheExactFormat) {
    ASSERT_FALSE(QFileInfo::exists(AppPaths::logs()));
    Log::write(QStringLiteral("App 启动 v1"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    const QRegularExpression shape(
        QStringLiteral(R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] \[pid (\d+)\] App 启动 v1$)"));
    const auto match = shape.match(lines.first());
    ASSERT_TRUE(match.hasMatch()) << lines.first().toStdString();
    EXPECT_EQ(match.captured(1).toLongLong(), QCoreApplication::applicationPid());
}

TEST(Log, MessagesAreWrittenUnchanged) {
    Log::write(QStringLiteral("两行\n第二行 %1 \\n"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("] 两行")));
    EXPECT_EQ(lines[1], QStringLiteral("第二行 %1 \\n"));
}

TEST(Log, StartsAfreshOnlyAboveOneMillionBytes) {
    AppPaths::ensureDirectories();
    TestSupport::writeFile(AppPaths::appLog(), QByteArray(1'000'000, 'x'));
    Log::write(QStringLiteral("kept"));
    EXPECT_GT(QFileInfo(AppPaths::appLog()).size(), 1'000'000);
    Log::write(QStringLiteral("fresh"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("] fresh")));
}

TEST(Log, ConcurrentWritersProduceWholeLines) {
    constexpr int kThreads = 8;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                Log::write(QStringLiteral("线程 %1 行 %2 ").arg(t).arg(i) +
                           QString(200, QLatin1Char('a' + t)));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), kThreads * kLines);
    const QRegularExpression shape(
        QStringLiteral(R"(^\[[^\]]+\] \[pid \d+\] 线程 (\d) 行 \d+ ([a-h])\2{199}$)"));
    for (const QString& line : lines) {
        const auto match = shape.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        EXPECT_EQ(match.captured(2).at(0).unicode() - u'a', match.captured(1).toInt());
    }
}

TEST(Log, AnUnwritableLogIsDroppedSilently) {
    // The log path taken by a folder: nothing can be written, and nothing may throw or crash.
    QDir().mkpath(AppPaths::appLog());
    EXPECT_NO_THROW(Log::write(QStringLiteral("lost")));
    EXPECT_TRUE(QDir(AppPaths::appLog()).isEmpty());
    // Once the path is free, logging goes on, and the dropped line never turns up late.
    ASSERT_TRUE(QDir().rmdir(AppPaths::appLog()));
    Log::write(QStringLiteral("kept"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("] kept"))) << lines[0].toStdString();
}

TEST(ByteCount, MegabytesOfTwoToTheTwentieth) {
    EXPECT_EQ(mb(1'048'576), QStringLiteral("1.0 MB"));
    EXPECT_EQ(mb(0), QStringLiteral("0.0 MB"));
    EXPECT_EQ(mb(1'572'864), QStringLiteral("1.5 MB"));
    EXPECT_EQ(mb(1'000'000), QStringLiteral("1.0 MB"));
    EXPECT_EQ(mb(-1'048'576), QStringLiteral("-1.0 MB"));
    EXPECT_EQ(mb(5'000'000'000LL), QStringLiteral("4768.4 MB"));
}
