#include "support/startup_trace.h"

#include <QByteArray>
#include <QFile>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

double nowMs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// The process's start in ms of CLOCK_BOOTTIME: field 22 of /proc/self/stat, in clock ticks.
// The name in field 2 may hold spaces, so the count starts after its closing parenthesis.
double processStartMs() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // After the name, field 3 (the state) comes first: field 22 is at index 19.
    if (fields.size() < 20) return 0;
    return fields.at(19).toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

}  // namespace

namespace StartupTrace {

bool enabled() {
    static const bool on = std::getenv("QUORVIN_STARTUP_TRACE") != nullptr;
    return on;
}

void mark(const char* step) {
    if (!enabled()) return;
    static const double startedAt = processStartMs();
    std::fprintf(stderr, "startup-trace %.1f %.1f %.1f %s\n", nowMs(CLOCK_REALTIME),
                 nowMs(CLOCK_BOOTTIME) - startedAt, nowMs(CLOCK_PROCESS_CPUTIME_ID), step);
    std::fflush(stderr);
}

}  // namespace StartupTrace
