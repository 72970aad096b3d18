#include "support/file_placement.h"
#include "common/test_support.h"
#include "support/graphemes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QUuid>

#include <sys/stat.h>
#include <cerrno>

namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class FilePlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = TestSupport::home() + QStringLiteral("/Desktop");
        ASSERT_TRUE(QDir().mkpath(folder));
    }

    QString source(const QByteArray& contents, const QString& where = {}) {
        return TestSupport::writeFile((where.isEmpty() ? TestSupport::home() : where) +
                                          QStringLiteral("/src-") +
                                          QUuid::createUuid().toString(QUuid::WithoutBraces),
                                      contents);
    }

    QStringList entries() const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }

    QString folder;
};

}  // namespace

TEST(Graphemes, PrefixWithinBytesCutsOnlyBetweenCharacters) {
    // A family emoji is one character of 25 UTF-8 bytes; "é" as e + combining accent is 3.
    const QString family = QString::fromUtf8("👨‍👩‍👧‍👦");
    const QString accented = QString::fromUtf8("e\u0301");
    EXPECT_EQ(Graphemes::prefixWithinBytes(family + family, 49), family);
    EXPECT_EQ(Graphemes::prefixWithinBytes(family + family, 50), family + family);
    EXPECT_EQ(Graphemes::prefixWithinBytes(family, 24), QString());
    EXPECT_EQ(Graphemes::prefixWithinBytes(QStringLiteral("ab") + accented, 4),
              QStringLiteral("ab"));
    EXPECT_EQ(Graphemes::prefixWithinBytes(QStringLiteral("视频abc"), 7), QStringLiteral("视频a"));
}

TEST_F(FilePlacementTest, NumbersTakenNamesWithTheGivenExtension) {
    TestSupport::writeFile(folder + QStringLiteral("/clip.webm"), "user's");
    const QString placed = FilePlacement::place(source("ours"), folder, QStringLiteral("clip.webm"),
                                                QStringLiteral(".webm"));
    EXPECT_EQ(placed, folder + QStringLiteral("/clip (2).webm"));
    EXPECT_EQ(contentsOf(folder + QStringLiteral("/clip.webm")), "user's");
    EXPECT_EQ(contentsOf(placed), "ours");
}

TEST_F(FilePlacementTest, NamesAreCutToFitInBytesWithTheirCounter) {
    const QString emoji = QString::fromUtf8("😀");  // 4 bytes
    QString stem;
    for (int i = 0; i < 70; ++i) stem += emoji;  // 280 bytes
    for (int round = 0; round < 2; ++round) {
        const QString placed = FilePlacement::place(
            source("v"), folder, stem + QStringLiteral(".mp4"), QStringLiteral(".mp4"));
        const QString name = placed.mid(folder.size() + 1);
        EXPECT_LE(name.toUtf8().size(), FilePlacement::kMaxNameBytes);
        EXPECT_TRUE(name.startsWith(emoji)) << name.toStdString();
        EXPECT_FALSE(name.contains(QChar::ReplacementCharacter));
    }
    // The longest counter still fits: 61 emoji (244 bytes) + " (9999).mp4" (11 bytes).
    EXPECT_EQ(FilePlacement::fitStem(stem, QStringLiteral(".mp4")), emoji.repeated(61));
    EXPECT_EQ(entries().size(), 2);
}

class CrossFileSystemPlacementTest : public FilePlacementTest {
protected:
    void SetUp() override {
        FilePlacementTest::SetUp();
        struct stat shm {
        }, home{};
        if (::stat("/dev/shm", &shm) != 0 ||
            ::stat(QFile::encodeName(folder).constData(), &home) != 0 ||
            shm.st_dev == home.st_dev) {
            GTEST_SKIP() << "no second file system (/dev/shm) beside the folder's";
        }
        other = QStringLiteral("/dev/shm/quorvin-test-") +
                QUuid::createUuid().toString(QUuid::WithoutBraces);
        ASSERT_TRUE(QDir().mkpath(other));
    }
    void TearDown() override {
        if (!other.isEmpty()) QDir(other).removeRecursively();
    }
    QString other;
};

// Stopped between two copied chunks: the hidden part file goes, the source stays for its owner.
TEST_F(CrossFileSystemPlacementTest, StoppedMidCopyLeavesNothingInTheFolder) {
    const QString from = source(QByteArray(5 * 1024 * 1024, 'v'), other);
    int asked = 0;
    bool sawPart = false;
    try {
        FilePlacement::place(from, folder, QStringLiteral("x.mp4"), QStringLiteral(".mp4"), [&] {
            const QStringList now = entries();
            sawPart = sawPart || (now.size() == 1 && now[0].startsWith(u".quorvin-") &&
                                  now[0].endsWith(u".part"));
            return ++asked > 2;
        });
        ADD_FAILURE() << "a stopped placement placed its file";
    } catch (const FilePlacement::Error& error) {
        EXPECT_TRUE(error.cancelled());
        EXPECT_EQ(error.code, ECANCELED);
    }
    EXPECT_TRUE(sawPart);
    EXPECT_TRUE(entries().isEmpty()) << entries().join(u' ').toStdString();
    EXPECT_TRUE(QFile::exists(from));
}
