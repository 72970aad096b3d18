#include "sites/tools.h"

#include "support/app_paths.h"
#include "support/log.h"
#include "support/shell.h"

#include <QFileInfo>
#include <QMutex>

#include <unistd.h>

namespace {

// Tests replace the lists while background threads may be reading them.
QMutex& overrideMutex() {
    static QMutex mutex;
    return mutex;
}
QStringList& searchOverride() {
    static QStringList dirs;
    return dirs;
}
QStringList& prefixOverride() {
    static QStringList prefixes;
    return prefixes;
}

QString versionOf(const QString& ytdlp) {
    return Tools::run(ytdlp, {QStringLiteral("--version")}).output.trimmed();
}

}  // namespace

namespace Tools {

QString installCommand() {
    return QStringLiteral("brew install yt-dlp ffmpeg deno");
}

QStringList searchDirs() {
    {
        QMutexLocker lock(&overrideMutex());
        if (!searchOverride().isEmpty()) return searchOverride();
    }
    QStringList dirs = {QStringLiteral("/opt/homebrew/bin"), QStringLiteral("/usr/local/bin"),
                        AppPaths::home() + QStringLiteral("/.local/bin")};
#ifdef Q_OS_LINUX
    dirs << QStringLiteral("/home/linuxbrew/.linuxbrew/bin") << QStringLiteral("/usr/bin");
#endif
    return dirs;
}

void setSearchDirsForTesting(const QStringList& dirs) {
    QMutexLocker lock(&overrideMutex());
    searchOverride() = dirs;
}

std::optional<QString> find(const QString& name) {
    for (const QString& dir : searchDirs()) {
        const QString path = dir + QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (info.isFile() && ::access(QFile::encodeName(path).constData(), X_OK) == 0) {
            return path;
        }
    }
    return std::nullopt;
}

std::optional<QString> ytdlp() {
    return find(QStringLiteral("yt-dlp"));
}
std::optional<QString> ffmpeg() {
    return find(QStringLiteral("ffmpeg"));
}
std::optional<QString> brew() {
    return find(QStringLiteral("brew"));
}

QProcessEnvironment environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QStringList path;
    for (const QString& dir :
         searchDirs() + QStringList{QStringLiteral("/usr/bin"), QStringLiteral("/bin"),
                                    QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")}) {
        if (!path.contains(dir)) path << dir;
    }
    env.insert(QStringLiteral("PATH"), path.join(QLatin1Char(':')));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    env.insert(QStringLiteral("HOMEBREW_NO_ENV_HINTS"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOMEBREW_NO_INSTALL_CLEANUP"), QStringLiteral("1"));
    for (const char* name :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"}) {
        const QString key = QString::fromLatin1(name);
        if (env.contains(key) && env.value(key).isEmpty()) env.remove(key);
    }
    return env;
}

CommandResult run(const QString& path, const QStringList& args) {
    return Shell::run(path, args, environment());
}

QString statusText() {
    const std::optional<QString> tool = ytdlp();
    if (!tool) return QStringLiteral("缺少 yt-dlp");
    if (!ffmpeg()) return QStringLiteral("缺少 ffmpeg");
    const QString version = versionOf(*tool);
    return version.isEmpty() ? QStringLiteral("yt-dlp") : QStringLiteral("yt-dlp ") + version;
}

QStringList homebrewPrefixes() {
    {
        QMutexLocker lock(&overrideMutex());
        if (!prefixOverride().isEmpty()) return prefixOverride();
    }
    QStringList prefixes = {QStringLiteral("/opt/homebrew/"), QStringLiteral("/usr/local/")};
#ifdef Q_OS_LINUX
    prefixes << QStringLiteral("/home/linuxbrew/.linuxbrew/");
#endif
    return prefixes;
}

void setHomebrewPrefixesForTesting(const QStringList& prefixes) {
    QMutexLocker lock(&overrideMutex());
    prefixOverride() = prefixes;
}

QString update() {
    const std::optional<QString> tool = ytdlp();
    if (!tool) return QStringLiteral("缺少 yt-dlp，请先安装");
    const QString before = versionOf(*tool);
    const std::optional<QString> brewPath = brew();
    bool byHomebrew = false;
    for (const QString& prefix : homebrewPrefixes()) {
        if (tool->startsWith(prefix)) byHomebrew = true;
    }
    if (!brewPath || !byHomebrew) {
        return QStringLiteral("yt-dlp 不是用 Homebrew 安装的，请手动更新");
    }
    const CommandResult upgrade =
        run(*brewPath, {QStringLiteral("upgrade"), QStringLiteral("yt-dlp")});
    const QString after = versionOf(*tool);
    if (upgrade.status != 0) {
        Log::write(QStringLiteral("brew upgrade yt-dlp 失败：") + upgrade.output.right(800));
        return QStringLiteral("更新失败（网络问题？），仍是 ") + before;
    }
    if (after != before) return QStringLiteral("已更新到 yt-dlp ") + after;
    return QStringLiteral("yt-dlp ") + after + QStringLiteral(" 已是最新");
}

}  // namespace Tools
