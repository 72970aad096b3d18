// The panel under load: 200 items in the list, 20 of them downloading and reporting progress
// ten times a second. Reports the main thread's frame time (layout, sync and software render),
// the process's CPU per second of wall time, the resident memory the list and its thumbnails
// add over the empty panel, and whether anything is drawn or computed while nothing changes.
// Usage: panel_bench [seconds of progress, default 10]

#include "common/private_home.h"
#include "gui/panel_view.h"
#include "gui/paste_field.h"
#include "manager/download_manager.h"
#include "sites/tools.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double rssMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

// Runs the event loop (sleeping while there is nothing to do) for a while.
void pump(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 10;
    QTemporaryDir home;
    TestSupport::usePrivateHome(home.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QApplication app(argc, argv);

    // No download tool is found, so every submitted item ends at once and the bench sets phases.
    const QString noTools = home.path() + QStringLiteral("/no-tools");
    QDir().mkpath(noTools);
    YtDlp::Settings settings;
    settings.tools.searchDirs = {noTools};

    // 200 distinct thumbnails, larger than shown (as a site's cover is).
    const QString thumbs = home.path() + QStringLiteral("/thumbs");
    QDir().mkpath(thumbs);
    for (int i = 0; i < 200; ++i) {
        QImage image(480, 270, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 160, 200));
        QPainter(&image).drawText(20, 40, QString::number(i));
        image.save(thumbs + QStringLiteral("/%1.jpg").arg(i));
    }

    DownloadManager manager(DesktopServices{}, settings);
    PasteField field(manager);
    QQuickView view;
    PanelCallbacks callbacks;
    callbacks.onHeightChange = [&](double height) { view.resize(440, int(std::ceil(height))); };
    loadPanel(view, manager, field, callbacks);
    view.show();

    std::vector<double> frames;
    QElapsedTimer frameClock;
    bool inFrame = false;
    int framesRendered = 0;
    // A frame starts when animations have advanced (then the list lays out its rows, the scene
    // is synchronised and drawn); frames without animation start at synchronisation.
    const auto startFrame = [&] {
        if (inFrame) return;
        inFrame = true;
        frameClock.start();
    };
    QObject::connect(&view, &QQuickWindow::afterAnimating, startFrame);
    QObject::connect(&view, &QQuickWindow::beforeSynchronizing, startFrame);
    QObject::connect(&view, &QQuickWindow::afterRendering, [&] {
        ++framesRendered;
        if (inFrame) frames.push_back(double(frameClock.nsecsElapsed()) / 1e6);
        inFrame = false;
    });

    pump(1000);
    const double emptyRss = rssMiB();
    const int framesBeforeEmptyIdle = framesRendered;
    pump(1000);
    const int emptyIdleFrames = framesRendered - framesBeforeEmptyIdle;

    const int count = 200;
    for (int i = 0; i < count; ++i) {
        const QUrl link(QStringLiteral("https://www.bilibili.com/video/BV%1").arg(i));
        manager.submit(link, Platform::detect(link));
    }
    QElapsedTimer wait;
    wait.start();
    while (manager.hasActive() && wait.elapsed() < 30000) pump(50);
    // Newest first: the 20 on top download, the rest are finished.
    for (int i = 0; i < count; ++i) {
        const auto& item = manager.items().at(i);
        item->setTitle(QStringLiteral("测试视频 %1 · 一个有代表性的标题长度").arg(i));
        item->setThumbnail(QUrl::fromLocalFile(thumbs + QStringLiteral("/%1.jpg").arg(i)));
        if (i < 20) {
            item->setPhase(Phase::makeDownloading(0.0, QStringLiteral("0%")));
        } else if (i % 7 == 0) {
            item->setPhase(Phase::makeFailed(Failure::cancelled()));
        } else {
            item->setPhase(Phase::makeDone(QStringLiteral("/d/%1.mp4").arg(i), qint64(i) << 20));
        }
    }
    pump(1000);
    const double listRss = rssMiB();

    // Every row shown once: scroll through the whole list and back to the top.
    auto* list = view.rootObject()->findChild<QQuickItem*>(QStringLiteral("itemList"));
    if (!list) {
        // Created later than the root's own children: look through the visual tree.
        std::function<QQuickItem*(QQuickItem*)> search = [&](QQuickItem* item) -> QQuickItem* {
            if (item->objectName() == QLatin1String("itemList")) return item;
            for (QQuickItem* child : item->childItems())
                if (QQuickItem* found = search(child)) return found;
            return nullptr;
        };
        list = search(view.contentItem());
    }
    if (list) {
        for (double y = 0;; y += 200) {
            list->setProperty("contentY", y);
            pump(40);
            if (y > list->property("contentHeight").toDouble()) break;
        }
        list->setProperty("contentY", 0);
        pump(500);
    }
    const double scrolledRss = rssMiB();

    // Progress: 20 items, 10 reports a second each.
    frames.clear();
    int tick = 0;
    QTimer progress;
    progress.setInterval(100);
    QObject::connect(&progress, &QTimer::timeout, [&] {
        ++tick;
        for (int i = 0; i < 20; ++i) {
            const double fraction = std::min(1.0, (tick + i) / (10.0 * seconds + 20));
            manager.items().at(i)->setPhase(
                Phase::makeDownloading(fraction, QStringLiteral("%1% · %2 MB / 100.0 MB · 2.1 MB/s")
                                                     .arg(int(fraction * 100))
                                                     .arg(fraction * 100, 0, 'f', 1)));
        }
    });
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    progress.start();
    pump(seconds * 1000);
    progress.stop();
    const double busyCpu = (cpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000);
    const std::vector<double> busyFrames = frames;

    // Nothing changes: every item finished, no animation should run.
    for (int i = 0; i < 20; ++i)
        manager.items().at(i)->setPhase(Phase::makeDone(QStringLiteral("/d/x.mp4"), 1 << 20));
    pump(1000);
    const int framesBeforeIdle = framesRendered;

    const double idleCpuBefore = cpuSeconds();
    wall.restart();
    pump(3000);
    const double idleCpu = (cpuSeconds() - idleCpuBefore) / (double(wall.elapsed()) / 1000);
    const int idleFrames = framesRendered - framesBeforeIdle;

    std::printf("panel with 200 items, 20 reporting progress 10x/s for %d s (software renderer)\n",
                seconds);
    std::printf(
        "frame time (layout+sync+render): p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu frames\n",
        percentile(busyFrames, 0.5), percentile(busyFrames, 0.99),
        busyFrames.empty() ? 0.0 : *std::max_element(busyFrames.begin(), busyFrames.end()),
        busyFrames.size());
    std::printf("cpu while progressing: %.1f %% of one core\n", busyCpu * 100);
    std::printf(
        "rss: empty panel %.1f MiB, 200 items %.1f MiB (+%.1f), after every row and "
        "thumbnail was shown %.1f MiB (+%.1f)\n",
        emptyRss, listRss, listRss - emptyRss, scrolledRss, scrolledRss - emptyRss);
    std::printf("idle empty panel (1 s): %d frames rendered\n", emptyIdleFrames);
    std::printf("idle (nothing active, 3 s): cpu %.2f %% of one core, %d frames rendered\n",
                idleCpu * 100, idleFrames);
    return 0;
}
