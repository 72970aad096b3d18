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
        TestSupport::writeFile(temporary(TempFiles::transferFileName()), "x");
    const QString abandonedFolder = temporary(TempFiles::workingFolderName(QUuid::createUuid()));
    TestSupport::writeFile(abandonedFolder + QStringLiteral("/part.mp4"), "x");
    const QString leasedFile =
        TestSupport::writeFile(temporary(TempFiles::transferFileName()), "x");
    const QString young = TestSupport::writeFile(temporary(TempFiles::transferFileName()), "x");
    // The user's own things that merely start like ours, and our names on the wrong kind.
    const QString notes = temporary(QStringLiteral("quorvin-notes"));
    TestSupport::writeFile(notes + QStringLiteral("/todo.txt"), "keep");
    const QString strangers[] = {
        notes,
        TestSupport::writeFile(temporary(QStringLiteral("quorvin-1.mp4")), "x"),
        TestSupport::writeFile(temporary(QStringLiteral("other-5.mp4")), "x"),
        TestSupport::writeFile(temporary(TempFiles::workingFolderName(QUuid::createUuid())), "x"),
        TestSupport::writeFile(temporary(TempFiles::transferFileName() + QStringLiteral(".mp4")),
                               "x"),
    };
    QDir().mkpath(temporary(TempFiles::transferFileName()));
    for (const QString& path : {abandonedFile, abandonedFolder, leasedFile}) makeOld(path);
    for (const QString& path : strangers) makeOld(path);

    TempFiles::Lease lease(leasedFile);
    ASSERT_TRUE(lease.isHeld());
    const QStringList removed = TempFiles::removeAbandoned();

    EXPECT_EQ(removed.size(), 2) << removed.join(u',').toStdString();
    EXPECT_FALSE(QFileInfo::exists(abandonedFile));
    EXPECT_FALSE(QFileInfo::exists(abandonedFolder));
    EXPECT_TRUE(QFileInfo::exists(leasedFile));
    EXPECT_TRUE(QFileInfo::exists(young));
    for (const QString& path : strangers)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_TRUE(QFileInfo::exists(notes + QStringLiteral("/todo.txt")));
}

TEST(TempFiles, PartFilesOnTheDesktopByExactNameLeaseAndAge) {
    const QString desktop = AppPaths::desktop();
    const QString abandoned =
        TestSupport::writeFile(desktop + u'/' + TempFiles::desktopPartName(), "x");
    const QString young =
        TestSupport::writeFile(desktop + u'/' + TempFiles::desktopPartName(), "x");
    const QString leased =
        TestSupport::writeFile(desktop + u'/' + TempFiles::desktopPartName(), "x");
    const QString users[] = {
        TestSupport::writeFile(desktop + QStringLiteral("/.quorvin-notes.part"), "keep"),
        TestSupport::writeFile(desktop + QStringLiteral("/quorvin-1.mp4"), "keep"),
        TestSupport::writeFile(desktop + u'/' + TempFiles::transferFileName(), "keep"),
    };
    for (const QString& path : {abandoned, leased}) makeOld(path);
    for (const QString& path : users) makeOld(path);
    TempFiles::Lease lease(leased);

    EXPECT_EQ(TempFiles::removeLeftovers(), QStringList{abandoned});
    EXPECT_TRUE(QFileInfo::exists(young));
    EXPECT_TRUE(QFileInfo::exists(leased));
    for (const QString& path : users) EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();

    EXPECT_TRUE(
        TempFiles::isOurDesktopPartName(u".quorvin-0b7e7a1c-6a4f-4e3a-9d5e-4c3b2a1f0e9d.part"));
    EXPECT_FALSE(
        TempFiles::isOurDesktopPartName(u".quorvin-0b7e7a1c-6a4f-4e3a-9d5e-4c3b2a1f0e9.part"));
    EXPECT_FALSE(
        TempFiles::isOurDesktopPartName(u".quorvin-0b7e7a1c_6a4f-4e3a-9d5e-4c3b2a1f0e9d.part"));
}

TEST(TempFiles, ALeaseHeldByAnotherLiveProcessProtectsTheEntry) {
    const QString folder = temporary(TempFiles::workingFolderName(QUuid::createUuid()));
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
    const QString link = temporary(TempFiles::workingFolderName(QUuid::createUuid()));
    ASSERT_TRUE(QFile::link(QFileInfo(target).path(), link));
    TempFiles::removeAbandoned(QString(), std::chrono::seconds(0));
    EXPECT_TRUE(QFileInfo::exists(target));
}
