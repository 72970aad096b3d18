#include "support/shell.h"

#include <QProcess>

namespace Shell {

CommandResult run(const QString& path, const QStringList& args) {
    return run(path, args, std::nullopt);
}

CommandResult run(const QString& path, const QStringList& args,
                  const std::optional<QProcessEnvironment>& environment) {
    QProcess process;
    process.setProgram(path);
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (environment) process.setProcessEnvironment(*environment);
    process.start();
    if (!process.waitForStarted(-1)) return CommandResult{-1, process.errorString()};
    // QProcess keeps draining the pipe while it waits, so a talkative child never blocks on a
    // full pipe.
    process.waitForFinished(-1);
    const QString output = QString::fromUtf8(process.readAll());
    const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return CommandResult{status, output};
}

}  // namespace Shell
