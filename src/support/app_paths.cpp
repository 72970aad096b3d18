#include "support/app_paths.h"

#include "support/names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <sys/stat.h>

namespace {

QString xdgFolder(const char* variable, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG rules say a relative value is invalid and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::cleanPath(AppPaths::home() + QLatin1Char('/') + fallbackUnderHome);
}

// XDG_DESKTOP_DIR from user-dirs.dirs, with "$HOME" expanded; empty when absent.
QString xdgDesktopFromUserDirs() {
    QFile file(xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) +
               QStringLiteral("/user-dirs.dirs"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    static const QRegularExpression line(
        QStringLiteral(R"(^\s*XDG_DESKTOP_DIR\s*=\s*"([^"]*)\"\s*$)"));
    QTextStream in(&file);
    while (!in.atEnd()) {
        const auto match = line.match(in.readLine());
        if (!match.hasMatch()) continue;
        QString path = match.captured(1);
        path.replace(QStringLiteral("$HOME"), AppPaths::home());
        if (!QDir::isAbsolutePath(path)) return {};
        path = QDir::cleanPath(path);
        // "$HOME/" alone means "no desktop folder"; the fallback below is better.
        if (path == QDir::cleanPath(AppPaths::home())) return {};
        return path;
    }
    return {};
}

}  // namespace

namespace AppPaths {

QString home() {
    static const QString value = QDir::cleanPath(QDir::homePath());
    return value;
}

QString support() {
    static const QString value =
        xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + u'/' + Names::app();
    return value;
}

QString logs() {
    static const QString value =
        xdgFolder("XDG_STATE_HOME", QStringLiteral(".local/state")) + u'/' + Names::app();
    return value;
}

QString oldSupport() {
    static const QString value = home() + QStringLiteral("/Library/Application Support/Pellimor");
    return value;
}

QString oldLogs() {
    static const QString value = home() + QStringLiteral("/Library/Logs/Pellimor");
    return value;
}

QString desktop() {
    static const QString value = [] {
        const QString configured = xdgDesktopFromUserDirs();
        return configured.isEmpty() ? home() + QStringLiteral("/Desktop") : configured;
    }();
    return value;
}

QString appLog() {
    static const QString value = logs() + QStringLiteral("/app.log");
    return value;
}

QString temporary() {
    return QDir::tempPath();
}

void ensureDirectories() {
    for (const QString& folder : {support(), logs()}) {
        if (QFileInfo(folder).isDir()) continue;
        // Parents get default permissions; the leaf is created owner-only in one step, so it is
        // never readable by others, not even for a moment.
        QDir().mkpath(QFileInfo(folder).path());
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    }
}

}  // namespace AppPaths
