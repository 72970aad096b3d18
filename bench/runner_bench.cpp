// How cheaply the runner reads yt-dlp's progress output: a child prints 1,000,000 "@@PROG "
// lines as fast as it can; the figure is lines per second of this process's own CPU time
// (getrusage RUSAGE_SELF), so the child's work does not count. A second pass also turns every
// line into item updates (the full per-line path of a download).

#include "core/download_item.h"
#include "sites/output_reader.h"
#include "sites/runner.h"
#include "sites/stall_monitor.h"
#include "sites/tools.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <qcoro/qcorotask.h>

#include <sys/resource.h>
#include <cstdio>

namespace {

constexpr int kLines = 1000000;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void measure(const char* name, const std::function<void(const QString&)>& perLine) {
    const QString script =
        QStringLiteral("yes '@@PROG 1048576|4194304|NA|1048576.5|avc1.64001f' | head -n %1")
            .arg(kLines);
    Runner runner(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script},
                  Tools::environment(Tools::Settings{}));
    qint64 delivered = 0;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const Runner::Result result = QCoro::waitFor(runner.run([&](const QString& line) {
        ++delivered;
        perLine(line);
    }));
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf(
        "%-28s %lld lines (kept %lld), status %d: %.3f s CPU, %.3f s wall, "
        "%.0f lines per CPU second\n",
        name, static_cast<long long>(delivered), static_cast<long long>(result.lines.size()),
        result.status, cpu, double(wall.elapsed()) / 1000.0, double(delivered) / cpu);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    measure("runner only", [](const QString&) {});
    DownloadItem item(QUrl(QStringLiteral("https://example.com/v")), Platform::other);
    StallMonitor monitor(Platform::other);
    OutputReader reader(&item, monitor);
    measure("runner + item updates", [&](const QString& line) { reader.handle(line); });
    return 0;
}
