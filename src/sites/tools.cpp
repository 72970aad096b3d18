#include "sites/tools.h"

#include "sites/installation.h"
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

// The last 800 characters of a tool's output: where the reason for a failure is.
QString tail(const QString& output) {
    return output.trimmed().right(800);
}

// Runs the updating command, logs it with the tool's output, and says in one line how it went,
// with the version before and after.
Tools::UpdateOutcome runUpdate(const QString& ytdlp, const QString& before, const QString& program,
                               const QStringList& args, const QString& shown) {
    const CommandResult result = Tools::run(program, args);
    const QString after = versionOf(ytdlp);
    // yt-dlp -U exits 0 after some refusals ("You installed yt-dlp with pip…"): its ERROR line
    // is the verdict.
    const bool failed = result.status != 0 || result.output.contains(QLatin1String("\nERROR:")) ||
                        result.output.startsWith(QLatin1String("ERROR:"));
    if (failed) {
        Log::write(shown + QStringLiteral(" 失败：") + tail(result.output));
        return {Tools::UpdateOutcome::failed,
                QStringLiteral("更新失败（网络问题？），仍是 ") + before};
    }
    Log::write(shown + QStringLiteral(" 完成：") + tail(result.output));
    if (after != before) {
        return {Tools::UpdateOutcome::updated, QStringLiteral("已更新到 yt-dlp ") + after +
                                                   QStringLiteral("（原来是 ") + before +
                                                   QStringLiteral("）")};
    }
    return {Tools::UpdateOutcome::current,
            QStringLiteral("yt-dlp ") + after + QStringLiteral(" 已是最新")};
}

}  // namespace

namespace Tools {

QString installCommand() {
    const QString homebrew = QStringLiteral("brew install yt-dlp ffmpeg deno");
#ifdef Q_OS_LINUX
    // The system's own package manager first; Homebrew when that is all there is.
    const QString manager = systemPackageManager();
    if (manager == u"apt") return QStringLiteral("sudo apt install yt-dlp ffmpeg");
    if (manager == u"dnf") return QStringLiteral("sudo dnf install yt-dlp ffmpeg");
    if (manager == u"pacman") return QStringLiteral("sudo pacman -S yt-dlp ffmpeg");
    if (manager == u"zypper") return QStringLiteral("sudo zypper install yt-dlp ffmpeg");
#endif
    return homebrew;
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
    return updateOutcome().text;
}

UpdateOutcome updateOutcome() {
    const std::optional<QString> tool = ytdlp();
    if (!tool) return {UpdateOutcome::notRun, QStringLiteral("缺少 yt-dlp，请先安装")};
    const QString before = versionOf(*tool);
    const Installation installation = installationOf(*tool);
    const QString version = before.isEmpty() ? QString() : QStringLiteral(" ") + before;
    switch (installation.kind) {
        case Installation::Kind::homebrew:
            return runUpdate(*tool, before, *brew(),
                             {QStringLiteral("upgrade"), QStringLiteral("yt-dlp")},
                             QStringLiteral("brew upgrade yt-dlp"));
        case Installation::Kind::pipx:
            if (const std::optional<QString> pipx = find(QStringLiteral("pipx"))) {
                return runUpdate(*tool, before, *pipx,
                                 {QStringLiteral("upgrade"), QStringLiteral("yt-dlp")},
                                 QStringLiteral("pipx upgrade yt-dlp"));
            }
            break;
        case Installation::Kind::standalone:
            // The release's own updater checks the download against the release's checksums.
            return runUpdate(*tool, before, *tool, {QStringLiteral("-U")},
                             QStringLiteral("yt-dlp -U"));
        case Installation::Kind::distribution: {
            const QString text = QStringLiteral("yt-dlp") + version +
                                 QStringLiteral(" 来自系统软件包，请在终端运行：") +
                                 installation.updateCommand;
            Log::write(QStringLiteral("更新 yt-dlp：") + installation.realPath +
                       QStringLiteral(" 属于 ") + installation.owner + QStringLiteral("，未更新"));
            return {UpdateOutcome::notRun, text};
        }
        case Installation::Kind::pip:
            break;
        case Installation::Kind::unknown:
            Log::write(QStringLiteral("更新 yt-dlp：不知道 ") + installation.realPath +
                       QStringLiteral(" 是怎样安装的，未更新"));
            return {UpdateOutcome::notRun,
                    QStringLiteral("yt-dlp 不是用 Homebrew 安装的，请手动更新")};
    }
    // Installed by a tool that is not at hand here: say which command updates it.
    const QString text = QStringLiteral("yt-dlp") + version + QStringLiteral(" 是用 ") +
                         installation.description() + QStringLiteral(" 安装的，请在终端运行：") +
                         installation.updateCommand;
    Log::write(QStringLiteral("更新 yt-dlp：") + text);
    return {UpdateOutcome::notRun, text};
}

}  // namespace Tools
