// The list kept between runs, through the real file in the test's own home.

#include "manager/item_journal.h"
#include "common/test_support.h"
#include "core/background.h"
#include "manager/journal_format.h"
#include "manager/manager_fixture.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTimer>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace ManagerTest;
using ItemPointer = DownloadManager::ItemPointer;

namespace {

QString journalPath() {
    return AppPaths::support() + QStringLiteral("/items.json");
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList badFiles() {
    return QDir(AppPaths::support()).entryList({QStringLiteral("items.json.bad-*")}, QDir::Files);
}

// The ids in the file, in its order.
QStringList journalIds() {
    QStringList ids;
    const QJsonArray items =
        QJsonDocument::fromJson(bytesOf(journalPath())).object().value("items").toArray();
    for (const QJsonValue& item : items) ids.append(item.toObject().value("id").toString());
    return ids;
}

QStringList idsOf(const QList<ItemPointer>& items) {
    QStringList ids;
    for (const ItemPointer& item : items) ids.append(item->id().toString(QUuid::WithoutBraces));
    return ids;
}

ItemPointer makeItem(const QString& link, const Phase& phase, Platform platform = Platform::other) {
    auto item = std::make_shared<DownloadItem>(QUrl(link), platform);
    item->setPhase(phase);
    return item;
}

int logLinesWith(const QString& text) {
    int count = 0;
    for (const QString& line : logLines()) count += line.contains(text) ? 1 : 0;
    return count;
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

}  // namespace

// Tests share one home: each starts without a kept list or set-aside files.
class ItemJournalFile : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(journalPath());
        for (const QString& name : badFiles()) QFile::remove(AppPaths::support() + u'/' + name);
    }
};

TEST_F(ItemJournalFile, EveryPhaseComesBackThroughTheFile) {
    const QString kept = TestSupport::writeFile(AppPaths::desktop() + QStringLiteral("/kept.mp4"),
                                                QByteArray(1234, 'v'));
    const Failure refused{QStringLiteral("网站拒绝了下载"),
                          QStringLiteral("用浏览器的登录信息再试一次。"),
                          {Failure::Action::browserCookies(Browser::firefox),
                           Failure::Action::retry, Failure::Action::openLogs},
                          false};
    const QList<ItemPointer> saved = {
        makeItem(QStringLiteral("https://www.bilibili.com/video/BV1"), Phase::makeDone(kept, 1234),
                 Platform::bilibili),
        makeItem(QStringLiteral("https://example.com/gone"),
                 Phase::makeDone(AppPaths::desktop() + QStringLiteral("/gone.mp4"), 99)),
        makeItem(QStringLiteral("https://example.com/refused"), Phase::makeFailed(refused)),
        makeItem(QStringLiteral("https://example.com/cancelled"),
                 Phase::makeFailed(Failure::cancelled())),
        makeItem(QStringLiteral("https://example.com/quit"),
                 Phase::makeFailed(Failure::interrupted())),
        makeItem(QStringLiteral("https://example.com/running"),
                 Phase::makeDownloading(0.5, QStringLiteral("1.0 MB / 2.0 MB"))),
        makeItem(QStringLiteral("https://example.com/starting"),
                 Phase::makeWorking(QStringLiteral("正在解析链接…"))),
    };
    saved[0]->setTitle(QStringLiteral("一段视频"));
    saved[0]->setThumbnail(QUrl(QStringLiteral("https://i0.hdslb.com/cover.jpg")));
    {
        Harness first;
        ItemJournal journal(*first.manager);
        journal.restore();  // nothing there yet
        QSignalSpy written(&journal, &ItemJournal::written);
        first.manager->restore(saved);
        ASSERT_TRUE(written.wait(5000));
    }
    EXPECT_EQ(modeOf(journalPath()), mode_t(0600));
    EXPECT_EQ(modeOf(AppPaths::support()), mode_t(0700));

    Harness second;
    ItemJournal journal(*second.manager);
    journal.restore();
    const QList<ItemPointer>& back = second.manager->items();
    ASSERT_EQ(back.size(), saved.size());
    for (qsizetype i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i]->id(), saved[i]->id()) << i;
        EXPECT_EQ(back[i]->url(), saved[i]->url()) << i;
        EXPECT_EQ(back[i]->platform(), saved[i]->platform()) << i;
        EXPECT_EQ(back[i]->title(), saved[i]->title()) << i;
        EXPECT_EQ(back[i]->thumbnail(), saved[i]->thumbnail()) << i;
    }
    EXPECT_EQ(back[0]->phase(), Phase::makeDone(kept, 1234));
    EXPECT_EQ(back[1]->phase(), Phase::makeFailed(Failure::fileGone()));
    EXPECT_EQ(back[2]->phase(), Phase::makeFailed(refused));
    EXPECT_EQ(back[3]->phase(), Phase::makeFailed(Failure::cancelled()));
    EXPECT_EQ(back[4]->phase(), Phase::makeFailed(Failure::interrupted()));
    EXPECT_EQ(back[5]->phase(), Phase::makeFailed(Failure::interrupted()));
    EXPECT_EQ(back[6]->phase(), Phase::makeFailed(Failure::interrupted()));
    // The file follows the list as now shown: the changed phases are written back.
    QSignalSpy written(&journal, &ItemJournal::written);
    ASSERT_TRUE(written.wait(5000));
    const QJsonArray items =
        QJsonDocument::fromJson(bytesOf(journalPath())).object().value("items").toArray();
    EXPECT_EQ(items[6].toObject().value("failure").toObject().value("title").toString(),
              QStringLiteral("已中断"));
}

TEST_F(ItemJournalFile, UnreadableFilesAreSetAsideWithTheirBytesAndTheListStartsEmpty) {
    const QList<QByteArray> unreadable = {
        "{\"format\": 1, \"items\": [",
        "[]",
        R"({"format": 2, "items": [], "groups": {}})",
        R"({"format": 1, "items": {"id": "x"}})",
        R"({"items": []})",
        QByteArray(JournalFormat::kMaxBytes, ' ') + R"({"format": 1, "items": []})",
    };
    QList<QByteArray> setAside;
    for (const QByteArray& bytes : unreadable) {
        TestSupport::writeFile(journalPath(), bytes);
        const int logged = logLinesWith(QStringLiteral("下载列表无法读取"));
        Harness harness;
        ItemJournal journal(*harness.manager);
        journal.restore();
        EXPECT_TRUE(harness.manager->items().isEmpty());
        EXPECT_FALSE(QFile::exists(journalPath()));
        EXPECT_EQ(logLinesWith(QStringLiteral("下载列表无法读取")), logged + 1);
        // Never overwritten, even within the same second: every earlier file is still there.
        setAside.append(bytes);
        QList<QByteArray> found;
        for (const QString& name : badFiles())
            found.append(bytesOf(AppPaths::support() + u'/' + name));
        std::ranges::sort(found);
        QList<QByteArray> expected = setAside;
        std::ranges::sort(expected);
        ASSERT_EQ(found, expected);
    }
    // The list goes on from empty and is kept again.
    Harness harness;
    ItemJournal journal(*harness.manager);
    journal.restore();
    QSignalSpy written(&journal, &ItemJournal::written);
    harness.manager->restore({makeItem(QStringLiteral("https://example.com/a"),
                                       Phase::makeFailed(Failure::cancelled()))});
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(journalIds(), idsOf(harness.manager->items()));
    EXPECT_EQ(badFiles().size(), unreadable.size());
}

TEST_F(ItemJournalFile, ABadItemIsLeftOutAndTheOthersComeBack) {
    QList<JournalFormat::Record> records;
    for (int i = 0; i < 4; ++i) {
        records.append({QUuid::createUuid(), QUrl(QStringLiteral("https://example.com/%1").arg(i)),
                        Platform::other, QStringLiteral("标题 %1").arg(i), std::nullopt,
                        Phase::makeFailed(Failure::cancelled()), QDateTime::currentDateTimeUtc(),
                        QDateTime::currentDateTimeUtc()});
    }
    QJsonObject root = QJsonDocument::fromJson(JournalFormat::encode(records)).object();
    QJsonArray items = root.value("items").toArray();
    const auto spoil = [&](int i, const char* field, const QJsonValue& value) {
        QJsonObject item = items[i].toObject();
        item.insert(QLatin1String(field), value);
        items[i] = item;
    };
    spoil(1, "link", QStringLiteral("file:///etc/passwd"));
    spoil(2, "phase", QStringLiteral("done"));
    spoil(2, "file", QStringLiteral("../桌面/x.mp4"));  // done, but not an absolute path
    spoil(3, "thumbnail", QStringLiteral("javascript:alert(1)"));
    root.insert(QStringLiteral("items"), items);
    const QByteArray bytes = QJsonDocument(root).toJson();
    TestSupport::writeFile(journalPath(), bytes);

    Harness harness;
    ItemJournal journal(*harness.manager);
    journal.restore();
    ASSERT_EQ(harness.manager->items().size(), 1);
    EXPECT_EQ(harness.manager->items()[0]->id(), records[0].id);
    ASSERT_EQ(badFiles().size(), 1);
    EXPECT_EQ(bytesOf(AppPaths::support() + u'/' + badFiles()[0]), bytes);
    EXPECT_EQ(logLinesWith(QStringLiteral("3 项无法读取")), 1);
    QSignalSpy written(&journal, &ItemJournal::written);
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(journalIds(), idsOf(harness.manager->items()));
}

TEST_F(ItemJournalFile, KeepsTwoHundredDroppingTheOldestFinishedAndWritesRemovalsThrough) {
    // 205 items; the one at 203 is still running and stays, so 199, 200, 201, 202, 204 go.
    QList<ItemPointer> items;
    for (int i = 0; i < 205; ++i) {
        items.append(makeItem(QStringLiteral("https://example.com/%1").arg(i),
                              i == 203 ? Phase::makeWorking(QStringLiteral("正在解析链接…"))
                                       : Phase::makeFailed(Failure::cancelled())));
    }
    QList<ItemPointer> expected = items.mid(0, 199);
    expected.append(items[203]);

    Harness harness;
    ItemJournal journal(*harness.manager);
    journal.restore();
    QSignalSpy written(&journal, &ItemJournal::written);
    harness.manager->restore(items);
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(idsOf(harness.manager->items()), idsOf(expected));
    EXPECT_EQ(journalIds(), idsOf(expected));

    // At start the limit holds too: a longer file (written by hand here) comes back as 200.
    {
        QList<ItemPointer> more = items;
        more.prepend(makeItem(QStringLiteral("https://example.com/new"),
                              Phase::makeFailed(Failure::cancelled())));
        Harness other;
        other.manager->restore(more);
        QList<JournalFormat::Record> records;
        for (const ItemPointer& item : more) {
            records.append({item->id(), item->url(), item->platform(), item->title(),
                            item->thumbnail(), item->phase(), QDateTime::currentDateTimeUtc(),
                            QDateTime()});
        }
        const QString path = TestSupport::home() + QStringLiteral("/long.json");
        TestSupport::writeFile(path, JournalFormat::encode(records));
        Harness restarted;
        ItemJournal longJournal(*restarted.manager, path);
        longJournal.restore();
        EXPECT_EQ(idsOf(restarted.manager->items()), idsOf(more.mid(0, 200)));
    }

    harness.manager->clearFinished();
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(journalIds(), idsOf({items[203]}));
    harness.manager->remove(items[203]);
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(journalIds(), QStringList());
}

TEST_F(ItemJournalFile, ProgressTicksNeverWriteAndABurstOfPhasesWritesOnce) {
    QList<ItemPointer> items;
    for (int i = 0; i < 20; ++i) {
        items.append(makeItem(QStringLiteral("https://example.com/%1").arg(i),
                              Phase::makeWorking(QStringLiteral("正在解析链接…"))));
    }
    Harness harness;
    ItemJournal journal(*harness.manager);
    journal.restore();
    QSignalSpy written(&journal, &ItemJournal::written);
    harness.manager->restore(items);
    ASSERT_TRUE(written.wait(5000));
    ASSERT_EQ(journal.writes(), 1);

    // A burst: every item starts its transfer at once.
    for (const ItemPointer& item : items)
        item->setPhase(Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…")));
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(journal.writes(), 2);

    // Ten progress reports a second per item, for longer than two gatherings: no write.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        for (const ItemPointer& item : items) {
            item->setPhase(Phase::makeDownloading(ticks / 100.0,
                                                  QString::number(ticks) + QStringLiteral(" MB")));
        }
    });
    ticker.start(100);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ticks >= 25; }));
    EXPECT_EQ(journal.writes(), 2);

    // Phases that keep changing kind are gathered: at most one write a second.
    QElapsedTimer clock;
    clock.start();
    const int before = journal.writes();
    QObject::disconnect(&ticker, nullptr, nullptr, nullptr);
    ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        items[ticks % 20]->setPhase(ticks % 2 ? Phase::makeWorking(QStringLiteral("正在处理…"))
                                              : Phase::makeDownloading(std::nullopt, QString()));
    });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ticks >= 25; }));
    ticker.stop();
    EXPECT_GE(journal.writes() - before, 1);
    EXPECT_LE(journal.writes() - before, clock.elapsed() / 1000 + 1);
}

// The file is written on the pool. While the pool is busy, writes wait their turn, changes
// made meanwhile pile up behind them, and a quit (flush) still leaves the file as the list
// stands, never an older list written last.
TEST_F(ItemJournalFile, AQuitWhileTheDiskIsBusyLeavesTheNewestListOnDisk) {
    Harness harness;
    ItemJournal journal(*harness.manager);
    journal.restore();

    // Every pool thread held, as by long copies.
    QSemaphore release;
    QThreadPool& pool = blockingWorkPool();
    for (int i = 0; i < pool.maxThreadCount(); ++i) pool.start([&release] { release.acquire(); });

    const ItemPointer first = makeItem(QStringLiteral("https://example.com/first"),
                                       Phase::makeFailed(Failure::cancelled()));
    harness.manager->restore({first});
    QCoreApplication::processEvents();  // the first change's write is handed to the pool
    const ItemPointer second = makeItem(QStringLiteral("https://example.com/second"),
                                        Phase::makeFailed(Failure::cancelled()));
    harness.manager->restore({second});
    EXPECT_FALSE(QFile::exists(journalPath()));  // nothing could be written yet

    // The pool is let go only once the quit is under way and the main thread waits in it.
    const pid_t mainThread = ::gettid();
    std::atomic<bool> quitting{false};
    std::thread disk([&] {
        while (!quitting) std::this_thread::yield();
        const QString stat = QStringLiteral("/proc/self/task/%1/stat").arg(mainThread);
        QElapsedTimer patience;
        patience.start();
        while (patience.elapsed() < 5000) {
            QFile file(stat);
            const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (text.mid(text.lastIndexOf(')') + 2, 1) == "S") break;  // asleep: waiting
            std::this_thread::yield();
        }
        release.release(pool.maxThreadCount());
    });
    quitting = true;
    journal.flush();
    disk.join();
    EXPECT_EQ(journalIds(), idsOf(harness.manager->items()));
    EXPECT_EQ(journalIds().size(), 2);
    // What was queued behind the busy pool does not land later over the flushed file.
    const QByteArray flushed = bytesOf(journalPath());
    ASSERT_TRUE(pool.waitForDone(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(bytesOf(journalPath()), flushed);
}
