#include "sites/process_group.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSet>
#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

// The groups whose leader runs now, for endAll().
struct Registry {
    QMutex mutex;
    QSet<ProcessGroup*> groups;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

void registerGroup(ProcessGroup* group) {
    Registry& live = registry();
    // Registered after the registry exists, so it still exists when the handler runs.
    static const bool atExit = [] { return std::atexit([] { ProcessGroup::endAll(); }) == 0; }();
    Q_UNUSED(atExit);
    QMutexLocker lock(&live.mutex);
    live.groups.insert(group);
}

void unregisterGroup(ProcessGroup* group) {
    Registry& live = registry();
    QMutexLocker lock(&live.mutex);
    live.groups.remove(group);
}

void signalGroup(pid_t leader, int number) {
    // Between fork and setsid the group does not exist yet; the leader alone is then all there is.
    if (::kill(-leader, number) != 0) ::kill(leader, number);
}

// The watcher's signal that its parent, the tool, has gone. Nothing else sends it: the group
// only ever gets SIGTERM and SIGKILL from Quorvin.
constexpr int kToolGone = SIGUSR1;

#ifdef Q_OS_LINUX
[[noreturn]] void watchTool(pid_t tool) {
    // It keeps no descriptor: the tool's pipes must close when the tool ends, and Qt's start
    // notification pipe when the tool executes.
    if (::syscall(SYS_close_range, 0u, ~0u, 0u) != 0) {
        for (int fd = 0; fd < 1024; ++fd) ::close(fd);
    }
    ::prctl(PR_SET_PDEATHSIG, kToolGone);
    if (::getppid() == tool) {
        sigset_t gone;
        sigemptyset(&gone);
        sigaddset(&gone, kToolGone);
        // Every signal is blocked (see setUpChild): the group's SIGTERM waits here unanswered
        // while the tool decides how to end; only the tool's end wakes the watcher.
        siginfo_t info;
        while (::sigwaitinfo(&gone, &info) < 0) {
        }
    }
    ::kill(0, SIGKILL);  // the whole group, the watcher included
    ::_exit(0);
}
#endif

}  // namespace

ProcessGroup::~ProcessGroup() {
    unregisterGroup(this);
}

bool ProcessGroup::launch(const std::function<qint64()>& start) {
    QMutexLocker lock(&m_mutex);
    if (m_requested) return false;
    // Started under the lock: a terminate() racing with the launch waits until the pid is known.
    m_leader = start();
    if (m_leader > 0) registerGroup(this);
    return true;
}

void ProcessGroup::terminate() {
    QMutexLocker lock(&m_mutex);
    if (m_ended) return;
    const bool first = !m_requested;
    m_requested = true;
    if (m_leader <= 0) return;
    signalGroup(pid_t(m_leader), SIGTERM);
    if (first && m_hook) m_hook();
}

void ProcessGroup::kill() {
    QMutexLocker lock(&m_mutex);
    if (m_ended || m_leader <= 0) return;
    // The group only: by now the leader has long made it, and once the leader has been reaped
    // its pid alone may belong to another program.
    ::kill(-pid_t(m_leader), SIGKILL);
}

void ProcessGroup::removeWhenEnded(const QString& folder) {
    QMutexLocker lock(&m_mutex);
    m_folders.append(folder);
}

void ProcessGroup::onTerminateRequested(std::function<void()> hook) {
    QMutexLocker lock(&m_mutex);
    m_hook = std::move(hook);
}

qint64 ProcessGroup::clearLeader() {
    QMutexLocker lock(&m_mutex);
    m_ended = true;
    const qint64 leader = m_leader;
    m_leader = 0;
    unregisterGroup(this);
    return leader;
}

bool ProcessGroup::terminateRequested() const {
    QMutexLocker lock(&m_mutex);
    return m_requested;
}

QList<qint64> ProcessGroup::liveLeaders() {
    Registry& live = registry();
    QMutexLocker lock(&live.mutex);
    QList<qint64> leaders;
    for (ProcessGroup* group : std::as_const(live.groups)) {
        QMutexLocker groupLock(&group->m_mutex);
        if (group->m_leader > 0) leaders.append(group->m_leader);
    }
    return leaders;
}

void ProcessGroup::endAll(std::chrono::milliseconds grace) {
    QList<qint64> leaders;
    QStringList folders;
    {
        Registry& live = registry();
        QMutexLocker lock(&live.mutex);
        for (ProcessGroup* group : std::as_const(live.groups)) {
            QMutexLocker groupLock(&group->m_mutex);
            if (group->m_leader <= 0) continue;
            leaders.append(group->m_leader);
            folders += group->m_folders;
        }
    }
    if (leaders.isEmpty()) return;
    for (qint64 leader : leaders) signalGroup(pid_t(leader), SIGTERM);
    const QDeadlineTimer deadline(grace);
    auto anyAlive = [&] {
        return std::any_of(leaders.begin(), leaders.end(),
                           [](qint64 pgid) { return isAlive(pgid); });
    };
    while (anyAlive() && !deadline.hasExpired()) QThread::msleep(20);
    if (anyAlive()) {
        for (qint64 leader : leaders) {
            if (isAlive(leader)) signalGroup(pid_t(leader), SIGKILL);
        }
        // A killed process ends at once, but not within the call: a last write of the tool could
        // otherwise land in a folder just removed.
        const QDeadlineTimer killed(std::chrono::milliseconds(500));
        while (anyAlive() && !killed.hasExpired()) QThread::msleep(10);
    }
    for (const QString& folder : std::as_const(folders)) QDir(folder).removeRecursively();
}

void ProcessGroup::setUpChild(pid_t parent) {
    ::setsid();
    // Downloads are background work: yt-dlp, and the ffmpeg it starts, yield the processor to
    // the desktop. On a busy machine a merge at the same priority delays the display server,
    // and with it every frame of every window, the panel's included.
    ::setpriority(PRIO_PROCESS, 0, kToolNiceness);
#ifdef Q_OS_LINUX
    // The new session has a scheduling group of its own where the kernel groups by session
    // (autogroup), and a niceness only counts inside its group: the group is lowered as well.
    const int autogroup = ::open("/proc/self/autogroup", O_WRONLY | O_CLOEXEC);
    if (autogroup >= 0) {
        static constexpr char kNiceness[] = "10";
        static_assert(kToolNiceness == 10);
        [[maybe_unused]] const auto written = ::write(autogroup, kNiceness, sizeof kNiceness - 1);
        ::close(autogroup);
    }
#endif
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Quorvin may have died before the line above took effect.
    if (::getppid() != parent) ::_exit(127);

    sigset_t all, previous;
    sigfillset(&all);
    ::sigprocmask(SIG_BLOCK, &all, &previous);
    const pid_t tool = ::getpid();
    // A raw clone, not fork(): this child of a threaded program must not run fork handlers.
    const long watcher = ::syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
    if (watcher == 0) watchTool(tool);
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
#else
    Q_UNUSED(parent);
#endif
}

bool ProcessGroup::isAlive(qint64 pgid) {
    if (pgid <= 0) return false;
#ifdef Q_OS_LINUX
    // kill(-pgid, 0) also succeeds for zombies, which linger where nobody reaps orphans (a
    // container whose first process does not wait for them); /proc tells the states apart.
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool numeric = false;
        entry.toLongLong(&numeric);
        if (!numeric) continue;
        QFile file(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray stat = file.readAll();
        // "pid (comm) state ppid pgrp …"; comm may itself contain spaces and brackets.
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0) continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 3) continue;
        const char state = fields[0].isEmpty() ? '?' : fields[0][0];
        if (state == 'Z' || state == 'X') continue;
        if (fields[2].toLongLong() == pgid) return true;
    }
    return false;
#else
    return ::kill(-pid_t(pgid), 0) == 0 || errno == EPERM;
#endif
}
