#include "app/frame_log.h"

#include <QFile>
#include <QQuickWindow>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

#include <time.h>

namespace FrameLog {

namespace {

// The CPU time of the calling thread: a frame's own cost, without the time the thread waited
// for the display server or for a core.
qint64 threadCpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

qint64 nowMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Recorder {
    std::FILE* file = nullptr;
    // Every drawn frame starts with a sync, on the thread that also swaps it: a frame that never
    // reached the screen is overwritten by the next one's start, not counted from its own.
    std::atomic<qint64> frameStart{0};
    std::atomic<qint64> cpuStart{0};

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
        [recorder] {
            recorder->frameStart = nowMicroseconds();
            recorder->cpuStart = threadCpuMicroseconds();
        },
        Qt::DirectConnection);
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [recorder] {
            const qint64 start = recorder->frameStart.exchange(0);
            if (start > 0)
                std::fprintf(recorder->file, "%lld %lld\n",
                             static_cast<long long>(nowMicroseconds() - start),
                             static_cast<long long>(threadCpuMicroseconds() - recorder->cpuStart));
        },
        Qt::DirectConnection);
}

}  // namespace FrameLog
