#include "core/background.h"

#include <algorithm>

QThreadPool& blockingWorkPool() {
    // Destroyed at exit like Qt's global pool, waiting for the work still running.
    static QThreadPool pool;
    static const bool configured = [] {
        // Mostly waiting (on a process, on the disk), so more threads than cores: eight downloads
        // at once may each copy a file while the tools are asked for their versions.
        pool.setMaxThreadCount(std::max(QThread::idealThreadCount(), 8));
        pool.setObjectName(QStringLiteral("blocking work"));
        return true;
    }();
    (void)configured;
    return pool;
}
