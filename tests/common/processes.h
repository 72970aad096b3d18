#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The live processes as /proc lists them, for tests and benchmarks that check what a run left
// behind or measure a program's helpers.
namespace TestSupport {

struct LiveProcess {
    qint64 pid = 0;
    qint64 parent = 0;
    QString command;  // the command line, its arguments separated by spaces
};

// Every process that is not a zombie (one that has exited but was not yet reaped is gone for
// every purpose of a test).
QList<LiveProcess> liveProcesses();

// Live (not zombie) processes whose command line mentions `needle`, as "pid command line".
QStringList liveProcessesMentioning(const QString& needle);

// The live children of `pid`, their children, and so on.
QList<qint64> liveDescendants(qint64 pid);

}  // namespace TestSupport
