#include "app/frame_log.h"

#include <QFile>
#include <QQuickWindow>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

namespace FrameLog {

namespace {

qint64 nowMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Recorder {
    std::FILE* file = nullptr;
    // Every drawn frame starts with a sync: a frame that never reached the screen is
    // overwritten by the next one's start, not counted from its own.
    std::atomic<qint64> frameStart{0};
    std::atomic<qint64> renderStart{0};
    std::atomic<qint64> renderTime{0};

    ~Recorder() {
        if (file) std::fclose(file);
    }
};

}  // namespace

void attachIfAsked(QQuickWindow& window) {
    const QString path = qEnvironmentVariable("QUORVIN_FRAME_LOG");
    if (path.isEmpty()) return;
    auto recorder = std::make_shared<Recorder>();
    recorder->file = std::fopen(QFile::encodeName(path).constData(), "a");
    if (!recorder->file) return;
    // A line at a time, so a reader sees each frame as it lands.
    std::setvbuf(recorder->file, nullptr, _IOLBF, 0);
    QObject::connect(
        &window, &QQuickWindow::beforeSynchronizing, &window,
        [recorder] { recorder->frameStart = nowMicroseconds(); }, Qt::DirectConnection);
    // The painting alone, apart from the copy to the screen that waits on the display server.
    QObject::connect(
        &window, &QQuickWindow::beforeRendering, &window,
        [recorder] { recorder->renderStart = nowMicroseconds(); }, Qt::DirectConnection);
    QObject::connect(
        &window, &QQuickWindow::afterRendering, &window,
        [recorder] { recorder->renderTime = nowMicroseconds() - recorder->renderStart; },
        Qt::DirectConnection);
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [recorder] {
            const qint64 start = recorder->frameStart.exchange(0);
            if (start > 0)
                std::fprintf(recorder->file, "%lld %lld\n",
                             static_cast<long long>(nowMicroseconds() - start),
                             static_cast<long long>(recorder->renderTime.exchange(0)));
        },
        Qt::DirectConnection);
}

}  // namespace FrameLog
