#include "common/processes.h"

#include <QDir>
#include <QFile>

namespace TestSupport {

QList<LiveProcess> liveProcesses() {
    QList<LiveProcess> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric) continue;
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (name) state parent …": the name may hold spaces and parentheses, so the fields
        // are counted from the last ')'.
        const QByteArray statText = stat.readAll();
        const qsizetype close = statText.lastIndexOf(')');
        if (close < 0) continue;
        const QList<QByteArray> fields = statText.mid(close + 2).split(' ');
        if (fields.size() < 2 || fields[0] == "Z" || fields[0] == "X") continue;
        QFile cmdline(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly)) continue;
        QByteArray command = cmdline.readAll();
        command.replace('\0', ' ');
        found.append({pid, fields[1].toLongLong(), QString::fromUtf8(command)});
    }
    return found;
}

QStringList liveProcessesMentioning(const QString& needle) {
    QStringList found;
    for (const LiveProcess& process : liveProcesses()) {
        if (process.command.contains(needle))
            found << QString::number(process.pid) + QLatin1Char(' ') + process.command;
    }
    return found;
}

QList<qint64> liveDescendants(qint64 pid) {
    const QList<LiveProcess> processes = liveProcesses();
    QList<qint64> found;
    QList<qint64> parents{pid};
    while (!parents.isEmpty()) {
        const qint64 parent = parents.takeFirst();
        for (const LiveProcess& process : processes) {
            if (process.parent != parent) continue;
            found.append(process.pid);
            parents.append(process.pid);
        }
    }
    return found;
}

}  // namespace TestSupport
