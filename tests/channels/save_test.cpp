#include "channels/save.h"
#include "channels/channels_fixture.h"
#include "channels/file_download.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QUuid>

#include <sys/stat.h>
#include <barrier>
#include <thread>

namespace {

using ChannelsTest::mp4Bytes;

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HttpResponse ok(QList<QPair<QByteArray, QByteArray>> headers = {{"Content-Type", "video/mp4"}}) {
    return HttpResponse{200, std::move(headers), {}};
}

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop = AppPaths::desktop();
        QFile::remove(desktop);
        QDir(desktop).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(desktop));
    }

    // A finished download in the temporary folder (or `folder`).
    static QString temporary(const QByteArray& contents, QString folder = {}) {
        if (folder.isEmpty()) folder = AppPaths::temporary();
        return TestSupport::writeFile(
            folder + u"/quorvin-"_qs +
                QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + u".mp4"_qs,
            contents);
    }

    static std::optional<Problem> problemOf(const QString& file, const HttpResponse& response,
                                            const QString& name = u"v.mp4"_qs) {
        try {
            Channels::save(file, response, name);
        } catch (const Problem& problem) {
            return problem;
        }
        return std::nullopt;
    }

    QStringList desktopEntries() const {
        return QDir(desktop).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                       QDir::Name);
    }

    QString desktop;
};

TEST_F(SaveTest, MovesAnMp4ToTheDesktop) {
    const QByteArray body = mp4Bytes(100'000);
    const QString file = temporary(body);
    const QString saved = Channels::save(file, ok(), u"第一行.mp4"_qs);
    EXPECT_EQ(saved, desktop + u"/第一行.mp4"_qs);
    EXPECT_EQ(contentsOf(saved), body);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(SaveTest, StatusesAreJudgedFirstAndTheTemporaryFileGoes) {
    for (const int status : {403, 404, 410}) {
        const QString file = temporary(mp4Bytes());
        EXPECT_EQ(problemOf(file, HttpResponse{status, {}, {}}), Problem::linkExpired()) << status;
        EXPECT_FALSE(QFile::exists(file));
    }
    for (const int status : {206, 201, 302}) {
        const QString file = temporary(mp4Bytes());
        EXPECT_EQ(problemOf(file, HttpResponse{status, {}, {}}),
                  Problem::network(u"视频服务器返回 HTTP "_qs + QString::number(status)));
        EXPECT_FALSE(QFile::exists(file));
    }
    // A server error is the server's: the texts must not send the user to check the network.
    for (const int status : {500, 502, 503}) {
        const QString file = temporary(mp4Bytes());
        const std::optional<Problem> problem = problemOf(file, HttpResponse{status, {}, {}});
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem,
                  Problem::serverFault(u"视频服务器返回 HTTP "_qs + QString::number(status)));
        EXPECT_EQ(problem->title(), u"腾讯的服务器出错了");
        EXPECT_FALSE(problem->advice().contains(u"检查网络"));
        EXPECT_EQ(problem->failure().actions, QList<Failure::Action>{Failure::Action::retry});
        EXPECT_FALSE(QFile::exists(file));
    }
    EXPECT_TRUE(desktopEntries().isEmpty());
}

TEST_F(SaveTest, EncryptionFlag) {
    const QString plain = temporary(mp4Bytes());
    EXPECT_NO_THROW(Channels::save(plain, ok({{"X-encflag", "0"}}), u"zero.mp4"_qs));
    EXPECT_TRUE(QFile::exists(desktop + u"/zero.mp4"_qs));

    // Judged before the file is looked at: even a valid MP4 is refused.
    const QString flagged = temporary(mp4Bytes());
    EXPECT_EQ(problemOf(flagged, ok({{"x-encflag", "1"}})), Problem::encrypted());
    EXPECT_FALSE(QFile::exists(flagged));
    const QString odd = temporary("short");
    EXPECT_EQ(problemOf(odd, ok({{"X-EncFlag", "yes"}})), Problem::encrypted());
}

TEST_F(SaveTest, OnlyAnMp4SignatureIsAccepted) {
    const QString seven = temporary(QByteArray("\0\0\0\0fty", 7));
    EXPECT_EQ(problemOf(seven, ok({{"Content-Type", "text/html; charset=utf-8"}})),
              Problem::apiChanged(u"下载到的不是 MP4 视频（类型：text/html; charset=utf-8）"_qs));
    EXPECT_FALSE(QFile::exists(seven));
    EXPECT_EQ(problemOf(temporary("<html>not a video at all</html>"), ok({})),
              Problem::apiChanged(u"下载到的不是 MP4 视频（类型：未知）"_qs));
    EXPECT_EQ(problemOf(temporary(""), ok({})),
              Problem::apiChanged(u"下载到的不是 MP4 视频（类型：未知）"_qs));
    // A whole MP4 is accepted whatever the content type says.
    EXPECT_NO_THROW(Channels::save(temporary(mp4Bytes()), ok({{"Content-Type", "text/html"}}),
                                   u"typed.mp4"_qs));
    EXPECT_EQ(desktopEntries(), QStringList{u"typed.mp4"_qs});
}

TEST_F(SaveTest, AnMp4CutShortOrWithoutItsIndexIsNeverSaved) {
    const Problem incomplete = Problem::network(u"视频服务器：传输中断，下载到的视频不完整"_qs);
    const QByteArray whole = mp4Bytes(200'000);
    // The signature alone; a body cut inside its media box (the length unknown to HTTP); one
    // cut inside the next box header; boxes that tile the file but hold no "moov".
    QByteArray noIndex = whole;
    noIndex.replace(28, 4, "free");
    for (const QByteArray& body : {QByteArray("WXYZftyp"), whole.left(128'000), whole.left(44),
                                   noIndex, whole + QByteArray(3, '\0')}) {
        const QString file = temporary(body);
        EXPECT_EQ(problemOf(file, ok()), incomplete) << body.size();
        EXPECT_FALSE(QFile::exists(file));
    }
    EXPECT_TRUE(desktopEntries().isEmpty()) << desktopEntries().join(u' ').toStdString();
}

TEST_F(SaveTest, NumbersTakenNamesAndNeverOverwrites) {
    TestSupport::writeFile(desktop + u"/a.mp4"_qs, "first");
    TestSupport::writeFile(desktop + u"/a (2).mp4"_qs, "second");
    const QString saved = Channels::save(temporary(mp4Bytes()), ok(), u"a.mp4"_qs);
    EXPECT_EQ(saved, desktop + u"/a (3).mp4"_qs);
    EXPECT_EQ(contentsOf(desktop + u"/a.mp4"_qs), "first");
    EXPECT_EQ(contentsOf(desktop + u"/a (2).mp4"_qs), "second");

    TestSupport::writeFile(desktop + u"/clip"_qs, "plain");
    EXPECT_EQ(Channels::save(temporary(mp4Bytes()), ok(), u"clip"_qs),
              desktop + u"/clip (2).mp4"_qs);
    EXPECT_EQ(contentsOf(desktop + u"/clip"_qs), "plain");

    // A folder or a dangling link of that name is taken too.
    ASSERT_TRUE(QDir().mkpath(desktop + u"/dir.mp4"_qs));
    EXPECT_EQ(Channels::save(temporary(mp4Bytes()), ok(), u"dir.mp4"_qs),
              desktop + u"/dir (2).mp4"_qs);
    ASSERT_TRUE(QFile::link(desktop + u"/nowhere"_qs, desktop + u"/link.mp4"_qs));
    EXPECT_EQ(Channels::save(temporary(mp4Bytes()), ok(), u"link.mp4"_qs),
              desktop + u"/link (2).mp4"_qs);
    EXPECT_FALSE(QFile::exists(desktop + u"/nowhere"_qs));
}

TEST_F(SaveTest, UnwritableDesktopIsADiskProblemAndLeavesNothing) {
    // Works for root too: the Desktop is a plain file, so nothing can be created inside it.
    QDir(desktop).removeRecursively();
    TestSupport::writeFile(desktop, "not a folder");
    const QString file = temporary(mp4Bytes());
    const auto problem = problemOf(file, ok());
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind(), Problem::Kind::disk);
    EXPECT_FALSE(problem->detail().isEmpty());
#ifdef Q_OS_MACOS
    EXPECT_EQ(
        problem->failure().actions,
        (QList<Failure::Action>{Failure::Action::openDesktopPrivacy, Failure::Action::retry}));
#else
    // Says what happened, with the remedies that fit here (there is no privacy pane).
    EXPECT_EQ(problem->failure().actions,
              (QList<Failure::Action>{Failure::Action::retry, Failure::Action::openLogs}));
    EXPECT_TRUE(problem->advice().contains(u"桌面的路径上有一个同名的文件，不是文件夹"))
        << problem->advice().toStdString();
    EXPECT_FALSE(problem->advice().contains(u"隐私"));
#endif
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(contentsOf(desktop), "not a folder");
}

TEST_F(SaveTest, MissingDesktopFolderIsCreated) {
    QDir(desktop).removeRecursively();
    const QString saved = Channels::save(temporary(mp4Bytes()), ok(), u"new.mp4"_qs);
    EXPECT_EQ(saved, desktop + u"/new.mp4"_qs);
    EXPECT_TRUE(QFile::exists(saved));
}

class CrossFileSystemTest : public SaveTest {
protected:
    void SetUp() override {
        SaveTest::SetUp();
        struct stat shm {
        }, home{};
        if (::stat("/dev/shm", &shm) != 0 ||
            ::stat(QFile::encodeName(desktop).constData(), &home) != 0 ||
            shm.st_dev == home.st_dev) {
            GTEST_SKIP() << "no second file system (/dev/shm) beside the Desktop's";
        }
        other = u"/dev/shm/quorvin-test-"_qs + QUuid::createUuid().toString(QUuid::WithoutBraces);
        ASSERT_TRUE(QDir().mkpath(other));
    }
    void TearDown() override {
        if (!other.isEmpty()) QDir(other).removeRecursively();
    }
    QString other;
};

TEST_F(CrossFileSystemTest, CopiesFlushesAndRenamesIntoPlace) {
    const QByteArray body = mp4Bytes(3 * 1024 * 1024 + 5);
    TestSupport::writeFile(desktop + u"/far.mp4"_qs, "older");
    const QString file = temporary(body, other);
    const QString saved = Channels::save(file, ok(), u"far.mp4"_qs);
    EXPECT_EQ(saved, desktop + u"/far (2).mp4"_qs);
    EXPECT_EQ(contentsOf(saved), body);
    EXPECT_EQ(contentsOf(desktop + u"/far.mp4"_qs), "older");
    EXPECT_FALSE(QFile::exists(file));
    // No hidden copy is left beside the saved file.
    EXPECT_EQ(desktopEntries(), (QStringList{u"far (2).mp4"_qs, u"far.mp4"_qs}));
}

// A cancel while the file is copied to the Desktop ends the save as cancelled with nothing left
// anywhere; a cancel that comes once the file is in place changes nothing: it is saved.
TEST_F(CrossFileSystemTest, ACancelEndsTheSaveAsTheDiskSays) {
    const QByteArray body = mp4Bytes(6 * 1024 * 1024);
    const QString cut = temporary(body, other);
    int asked = 0;
    try {
        Channels::save(cut, ok(), u"c.mp4"_qs, [&] { return ++asked > 2; });
        ADD_FAILURE() << "a cancelled save placed its file";
    } catch (const Problem& problem) {
        EXPECT_EQ(problem, Problem::cancelled());
    }
    EXPECT_EQ(asked, 3);  // stopped mid-copy, between two chunks
    EXPECT_TRUE(desktopEntries().isEmpty()) << desktopEntries().join(u' ').toStdString();
    EXPECT_FALSE(QFile::exists(cut));

    bool placed = false;
    const QString kept = temporary(body, other);
    const QString saved = Channels::save(kept, ok(), u"c.mp4"_qs, [&] {
        placed = placed || QFile::exists(desktop + u"/c.mp4"_qs);
        return placed;
    });
    EXPECT_EQ(saved, desktop + u"/c.mp4"_qs);
    EXPECT_EQ(contentsOf(saved), body);
    EXPECT_EQ(desktopEntries(), QStringList{u"c.mp4"_qs});
}

TEST_F(CrossFileSystemTest, FailedCopyLeavesNoPartialFile) {
    QDir(desktop).removeRecursively();
    TestSupport::writeFile(desktop, "not a folder");
    const QString file = temporary(mp4Bytes(), other);
    const auto problem = problemOf(file, ok());
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind(), Problem::Kind::disk);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(contentsOf(desktop), "not a folder");
}

TEST_F(SaveTest, ParallelSavesOfOneNameNeverOverwrite) {
    constexpr int kSavers = 8;
    for (int round = 0; round < 10; ++round) {
        const QString name = u"same-%1.mp4"_qs.arg(round);
        std::vector<QByteArray> bodies;
        std::vector<QString> files;
        for (int i = 0; i < kSavers; ++i) {
            bodies.push_back(mp4Bytes(4096 + i));
            files.push_back(temporary(bodies.back()));
        }
        std::vector<QString> saved(kSavers);
        std::barrier start(kSavers);
        std::vector<std::thread> savers;
        for (int i = 0; i < kSavers; ++i) {
            savers.emplace_back([&, i] {
                start.arrive_and_wait();
                try {
                    saved[i] = Channels::save(files[i], ok(), name);
                } catch (...) {
                }
            });
        }
        for (std::thread& saver : savers) saver.join();

        QSet<QString> distinct;
        for (int i = 0; i < kSavers; ++i) {
            ASSERT_FALSE(saved[i].isEmpty()) << "saver " << i << " failed";
            distinct.insert(saved[i]);
            EXPECT_EQ(contentsOf(saved[i]), bodies[i]) << saved[i].toStdString();
            EXPECT_FALSE(QFile::exists(files[i]));
        }
        EXPECT_EQ(distinct.size(), kSavers);
        EXPECT_TRUE(distinct.contains(desktop + u'/' + name));
        for (int n = 2; n <= kSavers; ++n) {
            EXPECT_TRUE(distinct.contains(desktop + u"/same-%1 (%2).mp4"_qs.arg(round).arg(n)));
        }
    }
}

}  // namespace
