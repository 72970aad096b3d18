#include "sites/process_group.h"

#include <QDir>
#include <QFile>

#include <sys/types.h>
#include <cerrno>
#include <csignal>

bool ProcessGroup::launch(const std::function<qint64()>& start) {
    QMutexLocker lock(&m_mutex);
    if (m_requested) return false;
    // Started under the lock: a terminate() racing with the launch waits until the pid is known.
    m_leader = start();
    return true;
}

void ProcessGroup::terminate() {
    QMutexLocker lock(&m_mutex);
    if (m_ended) return;
    m_requested = true;
    if (m_leader <= 0) return;
    const auto pid = pid_t(m_leader);
    // Between fork and setsid the group does not exist yet; the leader alone is then all there is.
    if (::kill(-pid, SIGTERM) != 0) ::kill(pid, SIGTERM);
}

qint64 ProcessGroup::clearLeader() {
    QMutexLocker lock(&m_mutex);
    m_ended = true;
    const qint64 leader = m_leader;
    m_leader = 0;
    return leader;
}

bool ProcessGroup::terminateRequested() const {
    QMutexLocker lock(&m_mutex);
    return m_requested;
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
