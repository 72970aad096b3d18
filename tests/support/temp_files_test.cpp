#include "support/temp_files.h"
#include "common/test_support.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <utime.h>

namespace {

QString temporary(const QString& name) {
    return AppPaths::temporary() + u'/' + name;
}

void makeOld(const QString& path) {
    const time_t hourAgo = time(nullptr) - 3600;
    const utimbuf times{hourAgo, hourAgo};
    ::utime(QFile::encodeName(path).constData(), &times);
}

}  // namespace

TEST(TempFiles, RemovesOnlyAbandonedEntriesOfOurOwn) {
    const QString abandonedFile =
        TestSupport::writeFile(temporary(QStringLiteral("quorvin-1.mp4")), "x");
    const QString abandonedFolder = temporary(QStringLiteral("quorvin-dl-2"));
    TestSupport::writeFile(abandonedFolder + QStringLiteral("/part.mp4"), "x");
    const QString leasedFile =
        TestSupport::writeFile(temporary(QStringLiteral("quorvin-3.mp4")), "x");
    const QString young = TestSupport::writeFile(temporary(QStringLiteral("quorvin-4.mp4")), "x");
    const QString stranger = TestSupport::writeFile(temporary(QStringLiteral("other-5.mp4")), "x");
    for (const QString& path : {abandonedFile, abandonedFolder, leasedFile, stranger})
        makeOld(path);

    TempFiles::Lease lease(leasedFile);
    ASSERT_TRUE(lease.isHeld());
    const QStringList removed = TempFiles::removeAbandoned();

    EXPECT_EQ(removed.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(abandonedFile));
    EXPECT_FALSE(QFileInfo::exists(abandonedFolder));
    EXPECT_TRUE(QFileInfo::exists(leasedFile));
    EXPECT_TRUE(QFileInfo::exists(young));
    EXPECT_TRUE(QFileInfo::exists(stranger));
}

TEST(TempFiles, ALeaseHeldByAnotherLiveProcessProtectsTheEntry) {
    const QString folder = temporary(QStringLiteral("quorvin-dl-live"));
    QDir().mkpath(folder);
    makeOld(folder);
    // Another process (the tray app, say) holds its shared lease on the folder.
    QProcess owner;
    owner.start(QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import fcntl, os, sys, time\n"
                                "fd = os.open(sys.argv[1], os.O_RDONLY)\n"
                                "fcntl.flock(fd, fcntl.LOCK_SH)\n"
                                "print('leased', flush=True)\n"
                                "time.sleep(30)\n"),
                 folder});
    ASSERT_TRUE(owner.waitForStarted());
    QByteArray said;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            said += owner.readAllStandardOutput();
            return said.contains("leased") || owner.state() == QProcess::NotRunning;
        },
        std::chrono::seconds(10)));
    ASSERT_EQ(said, "leased\n") << owner.readAllStandardError().toStdString();
    EXPECT_TRUE(TempFiles::removeAbandoned().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(folder));
    owner.kill();
    owner.waitForFinished();
    // Its owner gone (killed, as after a crash), the folder is a leftover.
    EXPECT_EQ(TempFiles::removeAbandoned(), QStringList{folder});
}

TEST(TempFiles, SymbolicLinksAreNeverFollowed) {
    const QString target =
        TestSupport::writeFile(TestSupport::home() + QStringLiteral("/keep/me.txt"), "x");
    const QString link = temporary(QStringLiteral("quorvin-link"));
    ASSERT_TRUE(QFile::link(QFileInfo(target).path(), link));
    TempFiles::removeAbandoned(QString(), std::chrono::seconds(0));
    EXPECT_TRUE(QFileInfo::exists(target));
}
