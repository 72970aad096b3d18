#include "common/test_support.h"

#include "support/app_paths.h"
#include "support/names.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <ostream>

namespace TestSupport {

QStringList logLines() {
    QFile file(AppPaths::appLog());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.isEmpty()) return {};
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text.split(QLatin1Char('\n'));
}

QStringList temporaryLeftovers() {
    return QDir(AppPaths::temporary())
        .entryList({Names::temporaryPrefix() + u'*'}, QDir::AllEntries | QDir::NoDotAndDotDot);
}

QString home() {
    return qEnvironmentVariable("HOME");
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired()) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

ProcessResult run(const QString& program, const QStringList& arguments, const QByteArray& input,
                  std::chrono::milliseconds timeout) {
    QProcess process;
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted()) return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(int(timeout.count()))) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString cliPath() {
    return QStringLiteral(QUORVIN_CLI_PATH);
}

QString writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    file.write(contents);
    return path;
}

}  // namespace TestSupport

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
