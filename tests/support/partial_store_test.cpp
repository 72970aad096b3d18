#include "support/partial_store.h"
#include "common/test_support.h"
#include "support/partial_data.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <utime.h>

namespace {

// A kept folder of `bytes` bytes whose file was last written `daysAgo` days ago.
QUuid keep(qint64 bytes, int daysAgo) {
    const QUuid id = QUuid::createUuid();
    const auto data = PartialData::take(PartialStore::root(), id, false);
    EXPECT_TRUE(data);
    const QString file = TestSupport::writeFile(data->folder() + QStringLiteral("/video.mp4"),
                                                QByteArray(bytes, 'x'));
    const time_t then = time(nullptr) - time_t(daysAgo) * 24 * 3600;
    const utimbuf times{then, then};
    ::utime(QFile::encodeName(file).constData(), &times);
    return id;
}

QString folderOf(const QUuid& id) {
    return PartialStore::root() + u'/' + id.toString(QUuid::WithoutBraces);
}

}  // namespace

TEST(PartialStore, RemovesDataOlderThanAWeekThenTheOldestBeyondTheSizeLimitButNothingInUse) {
    const QUuid old = keep(10, 8);
    const QUuid usedOld = keep(10, 9);
    const QUuid young1 = keep(100, 3);
    const QUuid young2 = keep(100, 2);
    const QUuid young3 = keep(100, 1);
    const QString notOurs =
        TestSupport::writeFile(PartialStore::root() + QStringLiteral("/notes/a"), "x");
    // A copy of Quorvin that uses a folder holds its lease: no other may take or remove it.
    const auto inUse = PartialData::take(PartialStore::root(), usedOld, true);
    ASSERT_TRUE(inUse);
    EXPECT_FALSE(PartialData::take(PartialStore::root(), usedOld, true));

    // 10 (in use) + 300 is over 220: the oldest young one goes, which is enough.
    const QList<QUuid> removed =
        PartialStore::removeExpired(PartialStore::root(), PartialStore::kMaxAge, 220);
    EXPECT_EQ(removed, (QList<QUuid>{old, young1}));
    EXPECT_FALSE(QFileInfo::exists(folderOf(old)));
    EXPECT_FALSE(QFileInfo::exists(folderOf(young1)));
    for (const QUuid& id : {usedOld, young2, young3}) EXPECT_TRUE(QFileInfo::exists(folderOf(id)));
    EXPECT_TRUE(QFileInfo::exists(notOurs));
    EXPECT_EQ(QFile::permissions(folderOf(young2)) & 0x0077, 0);

    // With its lease released the folder can be adopted, its data as it was; a fresh start
    // empties it.
    const auto adopted = PartialData::take(PartialStore::root(), young2, true);
    ASSERT_TRUE(adopted);
    EXPECT_EQ(QFileInfo(folderOf(young2) + QStringLiteral("/video.mp4")).size(), 100);
    const auto fresh = PartialData::take(PartialStore::root(), young3, false);
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(QFileInfo::exists(folderOf(young3) + QStringLiteral("/video.mp4")));
}
