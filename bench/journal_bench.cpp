// The kept list's two costs.
//
// Writes: 20 downloads at once, each sending 10 progress reports a second and passing through
// its phases as a real one does (preparing, downloading for 8–14 s, merging, saved, and again),
// for the given time. Reports the phase changes, the progress reports and the journal's writes
// per minute (goal: at most 60, from phase changes only), and the writes of a stretch with
// progress reports alone (goal: none).
//
// Restore: the time restore() takes to read a 200-item journal (180 saved videos whose files
// exist, 10 failures with remedies, 10 running when the last run ended) and hand the items to
// the manager (goal: at most 20 ms, median and worst of 20 rounds).
//
//   build/bench/journal_bench [seconds=60]

#include "common/private_home.h"
#include "manager/download_manager.h"
#include "manager/item_journal.h"
#include "manager/journal_format.h"
#include "support/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

using ItemPointer = DownloadManager::ItemPointer;

// One simulated download: its phases come one after another, on a fixed clock.
struct Run {
    ItemPointer item;
    qint64 startMs = 0;     // when the current round started
    qint64 downloadMs = 0;  // how long its transfer takes
    int phaseChanges = 0;
    int ticks = 0;
};

void advance(Run& run, qint64 nowMs, const QString& file) {
    const qint64 t = nowMs - run.startMs;
    const auto set = [&](const Phase& phase) {
        if (phase.kind() != run.item->phase().kind()) ++run.phaseChanges;
        run.item->setPhase(phase);
    };
    if (t < 300) {
        set(Phase::makeWorking(QStringLiteral("正在解析链接…")));
    } else if (t < 300 + run.downloadMs) {
        const double fraction = double(t - 300) / double(run.downloadMs);
        set(Phase::makeDownloading(
            fraction, QString::number(fraction * 100.0, 'f', 1) + QStringLiteral("% · 2.0 MB/s")));
        ++run.ticks;
    } else if (t < 600 + run.downloadMs) {
        set(Phase::makeWorking(QStringLiteral("正在处理（合并画面和声音）…")));
    } else if (t < 800 + run.downloadMs) {
        set(Phase::makeDone(file, 1 << 20));
    } else {
        run.startMs = nowMs;  // a retry: the same item, a new round
    }
}

void measureWrites(DownloadManager& manager, ItemJournal& journal, int seconds) {
    QList<ItemPointer> items;
    QList<Run> runs;
    for (int i = 0; i < 20; ++i) {
        auto item = std::make_shared<DownloadItem>(
            QUrl(QStringLiteral("https://www.bilibili.com/video/BV%1").arg(i)), Platform::bilibili);
        items.append(item);
        runs.append(Run{item, -100 * i, 8000 + 300 * i, 0, 0});
    }
    manager.restore(items);
    const QString file = AppPaths::desktop() + QStringLiteral("/video.mp4");

    QElapsedTimer clock;
    clock.start();
    const int writesBefore = journal.writes();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        for (Run& run : runs) advance(run, clock.elapsed(), file);
        if (clock.elapsed() >= seconds * 1000LL) QCoreApplication::quit();
    });
    ticker.start(100);
    QCoreApplication::exec();
    ticker.stop();
    const double minutes = double(clock.elapsed()) / 60000.0;
    int changes = 0;
    int ticks = 0;
    for (const Run& run : runs) {
        changes += run.phaseChanges;
        ticks += run.ticks;
    }
    const double writesPerMinute = (journal.writes() - writesBefore) / minutes;
    std::printf("20 downloads for %.1f s: %.0f progress reports/min, %.0f phase changes/min\n",
                clock.elapsed() / 1000.0, ticks / minutes, changes / minutes);
    std::printf("journal writes: %.1f per minute (goal <= 60)\n", writesPerMinute);

    // Progress alone: every item downloading, nothing else changing.
    for (Run& run : runs) run.item->setPhase(Phase::makeDownloading(0.0, QString()));
    journal.flush();
    const int quietBefore = journal.writes();
    QElapsedTimer quiet;
    quiet.start();
    int reports = 0;
    QTimer reporter;
    QObject::connect(&reporter, &QTimer::timeout, [&] {
        for (Run& run : runs) {
            run.item->setPhase(Phase::makeDownloading(reports / 1000.0, QString::number(reports)));
            ++reports;
        }
        if (quiet.elapsed() >= 5000) QCoreApplication::quit();
    });
    reporter.start(100);
    QCoreApplication::exec();
    reporter.stop();
    std::printf("progress alone: %d reports in %.1f s, %d journal writes (goal 0)\n", reports,
                quiet.elapsed() / 1000.0, journal.writes() - quietBefore);
    manager.clearFinished();
    for (const ItemPointer& item : items) manager.remove(item);
    journal.flush();
}

QByteArray twoHundredItems() {
    QList<JournalFormat::Record> records;
    const Failure refused{
        QStringLiteral("网站拒绝了下载"),
        QStringLiteral("这个网站要求登录后才能下载。用浏览器的登录信息再试一次。"),
        {Failure::Action::browserCookies(Browser::firefox), Failure::Action::retry,
         Failure::Action::openLogs},
        false};
    for (int i = 0; i < 200; ++i) {
        JournalFormat::Record record;
        record.id = QUuid::createUuid();
        record.url = QUrl(QStringLiteral("https://www.bilibili.com/video/BV1xx411c7m%1").arg(i));
        record.platform = Platform::bilibili;
        record.title =
            QStringLiteral("【4K】一段相当长的视频标题，和真实的标题差不多长 第%1集").arg(i);
        record.thumbnail = QUrl(QStringLiteral("https://i0.hdslb.com/bfs/archive/%1.jpg").arg(i));
        record.created = QDateTime::currentDateTimeUtc();
        if (i < 180) {
            const QString file = AppPaths::desktop() + QStringLiteral("/视频 %1.mp4").arg(i);
            QFile touch(file);
            touch.open(QIODevice::WriteOnly);
            record.phase = Phase::makeDone(file, 123456789);
            record.finished = record.created;
        } else if (i < 190) {
            record.phase = Phase::makeFailed(refused);
            record.finished = record.created;
        } else {
            record.phase = Phase::makeDownloading(0.4, QString());
        }
        records.append(record);
    }
    return JournalFormat::encode(records);
}

void measureRestore(const DesktopServices& services) {
    QDir().mkpath(AppPaths::desktop());
    const QByteArray bytes = twoHundredItems();
    const QString path = ItemJournal::defaultPath();
    QList<double> ms;
    for (int round = 0; round < 20; ++round) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        file.close();
        DownloadManager manager(services, YtDlp::Settings{});
        ItemJournal journal(manager);
        QElapsedTimer clock;
        clock.start();
        journal.restore();
        ms.append(clock.nsecsElapsed() / 1e6);
        if (manager.items().size() != 200)
            std::printf("FAIL: %lld items back\n", qlonglong(manager.items().size()));
    }
    std::ranges::sort(ms);
    std::printf(
        "restore of 200 items (%lld bytes): median %.2f ms, worst %.2f ms of 20 (goal <= 20)\n",
        qlonglong(bytes.size()), ms[ms.size() / 2], ms.last());
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    TestSupport::usePrivateHome(home.path());
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;

    DesktopServices services;
    {
        DownloadManager manager(services, YtDlp::Settings{});
        ItemJournal journal(manager);
        journal.restore();
        measureWrites(manager, journal, seconds);
    }
    measureRestore(services);
    return 0;
}
