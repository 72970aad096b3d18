#include "support/log.h"

#include "support/app_paths.h"
#include "support/safe_text.h"
#include "support/write_all.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 kMaxLogBytes = 1'000'000;

// Stands in for the serial "log" queue: the size check, the reset and the append of one line
// happen as one step with respect to every other line of this process.
QMutex& logMutex() {
    static QMutex mutex;
    return mutex;
}

}  // namespace

namespace Log {

QString formatLine(const QString& message) {
    // Formatted by hand: a fixed Gregorian 24-hour stamp whatever the user's locale.
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QLatin1Char('[') + stamp + QStringLiteral("] [pid ") +
           QString::number(QCoreApplication::applicationPid()) + QStringLiteral("] ") +
           SafeText::withoutUserInfo(message) + QLatin1Char('\n');
}

void write(const QString& message) {
    const QByteArray line = formatLine(message).toUtf8();
    QMutexLocker lock(&logMutex());
    AppPaths::ensureDirectories();
    const QString path = AppPaths::appLog();
    const QByteArray nativePath = QFile::encodeName(path);
    const QFileInfo info(path);
    if (info.exists() && info.size() > kMaxLogBytes) ::unlink(nativePath.constData());
    // O_APPEND with one write() per line keeps lines whole even when the tray app and the
    // command line write to the same file at once.
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    writeAll(fd, line);
    ::close(fd);
}

}  // namespace Log
