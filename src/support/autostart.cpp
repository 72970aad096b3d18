#include "support/autostart.h"
#include "support/names.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

#include <stdexcept>

namespace {

QString configHome() {
    const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rules say a relative value is invalid and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.config"));
}

// A value of type string: backslash and control characters are escaped.
QString escapeValue(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

// One argument of an Exec line: quoted when it holds a reserved character, with the double
// quote, backquote, dollar and backslash escaped inside the quotes, and % doubled because Exec
// gives it a meaning of its own.
QString quoteExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) needsQuotes = needsQuotes || reserved.contains(c);
    QString out;
    for (const QChar c : argument) {
        if (needsQuotes && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) out += u'\\';
        out += c;
        if (c == u'%') out += u'%';
    }
    return needsQuotes ? u'"' + out + u'"' : out;
}

[[noreturn]] void fail(const QString& what, const QString& path, const QString& reason) {
    throw std::runtime_error(
        (what + QStringLiteral("：") + path + QStringLiteral("（") + reason + QStringLiteral("）"))
            .toStdString());
}

}  // namespace

namespace Autostart {

QString entryPath() {
    return configHome() + QStringLiteral("/autostart/") + Names::desktopId() +
           QStringLiteral(".desktop");
}

bool isEnabled() {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&file);
    bool inMainGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == u"Hidden" && value == u"true") return false;
        if (key == u"X-GNOME-Autostart-enabled" && value == u"false") return false;
    }
    return true;
}

void setEnabled(bool enabled, const QString& program) {
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (file.exists() && !file.remove())
            fail(QStringLiteral("无法删除登录启动项"), path, file.errorString());
        return;
    }
    const QString target =
        program.isEmpty() ? execProgram(QCoreApplication::applicationFilePath()) : program;
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("无法写入登录启动项"), path, file.errorString());
    file.write(entryText(target).toUtf8());
    if (!file.commit()) fail(QStringLiteral("无法写入登录启动项"), path, file.errorString());
}

QString execProgram(const QString& runningExecutable) {
    const QString running = QFileInfo(runningExecutable).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("quorvin"));
    if (!running.isEmpty() && !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == running)
        return QStringLiteral("quorvin");
    return running.isEmpty() ? QFileInfo(runningExecutable).absoluteFilePath() : running;
}

QString entryText(const QString& program) {
    QString text;
    QTextStream out(&text);
    out << "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quorvin\n"
           "Comment=Copy a link, click, and the video is on your Desktop\n"
           "Comment[zh_CN]=复制链接，点一下，视频就保存到桌面\n"
        << "Exec=" << escapeValue(quoteExecArgument(program)) << "\n"
        << "TryExec=" << escapeValue(program) << "\n"
        << "Icon=" << Names::desktopId() << "\n"
        << "Terminal=false\n"
           "StartupNotify=false\n"
           "X-GNOME-Autostart-enabled=true\n"
           // LXQt starts entries that need a tray only once its panel is up.
           "X-LXQt-Need-Tray=true\n";
    return text;
}

}  // namespace Autostart
