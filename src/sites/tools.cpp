#include "sites/tools.h"

#include "sites/installation.h"
#include "support/app_paths.h"
#include "support/log.h"
#include "support/shell.h"

#include <QFileInfo>

#include <unistd.h>

namespace {

QString versionOf(const Tools::Settings& settings, const QString& ytdlp) {
    return Tools::run(settings, ytdlp, {QStringLiteral("--version")}).output.trimmed();
}

// The last 800 characters of a tool's output: where the reason for a failure is.
QString tail(const QString& output) {
    return output.trimmed().right(800);
}

// Runs the updating command, logs it with the tool's output, and says in one line how it went,
// with the version before and after.
Tools::UpdateOutcome runUpdate(const Tools::Settings& settings, const QString& ytdlp,
                               const QString& before, const QString& program,
                               const QStringList& args, const QString& shown) {
    const CommandResult result = Tools::run(settings, program, args);
    const QString after = versionOf(settings, ytdlp);
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

QString installCommand(const Settings& settings) {
    const QString homebrew = QStringLiteral("brew install yt-dlp ffmpeg deno");
#ifdef Q_OS_LINUX
    // The system's own package manager first; Homebrew when that is all there is.
    const QString manager = systemPackageManager(settings);
    if (manager == u"apt") return QStringLiteral("sudo apt install yt-dlp ffmpeg");
    if (manager == u"dnf") return QStringLiteral("sudo dnf install yt-dlp ffmpeg");
    if (manager == u"pacman") return QStringLiteral("sudo pacman -S yt-dlp ffmpeg");
    if (manager == u"zypper") return QStringLiteral("sudo zypper install yt-dlp ffmpeg");
#endif
    return homebrew;
}

QStringList defaultSearchDirs() {
    QStringList dirs = {QStringLiteral("/opt/homebrew/bin"), QStringLiteral("/usr/local/bin"),
                        AppPaths::home() + QStringLiteral("/.local/bin")};
#ifdef Q_OS_LINUX
    dirs << QStringLiteral("/home/linuxbrew/.linuxbrew/bin") << QStringLiteral("/usr/bin");
#endif
    return dirs;
}

std::optional<QString> find(const Settings& settings, const QString& name) {
    for (const QString& dir : settings.searchDirs) {
        const QString path = dir + QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (info.isFile() && ::access(QFile::encodeName(path).constData(), X_OK) == 0) {
            return path;
        }
    }
    return std::nullopt;
}

std::optional<QString> ytdlp(const Settings& settings) {
    return find(settings, QStringLiteral("yt-dlp"));
}
std::optional<QString> ffmpeg(const Settings& settings) {
    return find(settings, QStringLiteral("ffmpeg"));
}
std::optional<QString> brew(const Settings& settings) {
    return find(settings, QStringLiteral("brew"));
}

QProcessEnvironment environment(const Settings& settings) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QStringList path;
    for (const QString& dir :
         settings.searchDirs + QStringList{QStringLiteral("/usr/bin"), QStringLiteral("/bin"),
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

CommandResult run(const Settings& settings, const QString& path, const QStringList& args) {
    return Shell::run(path, args, environment(settings));
}

QString statusText(const Settings& settings) {
    const std::optional<QString> tool = ytdlp(settings);
    if (!tool) return QStringLiteral("缺少 yt-dlp");
    if (!ffmpeg(settings)) return QStringLiteral("缺少 ffmpeg");
    const QString version = versionOf(settings, *tool);
    return version.isEmpty() ? QStringLiteral("yt-dlp") : QStringLiteral("yt-dlp ") + version;
}

QStringList defaultHomebrewPrefixes() {
    QStringList prefixes = {QStringLiteral("/opt/homebrew/"), QStringLiteral("/usr/local/")};
#ifdef Q_OS_LINUX
    prefixes << QStringLiteral("/home/linuxbrew/.linuxbrew/");
#endif
    return prefixes;
}

QString update(const Settings& settings) {
    return updateOutcome(settings).text;
}

UpdateOutcome updateOutcome(const Settings& settings) {
    const std::optional<QString> tool = ytdlp(settings);
    if (!tool) return {UpdateOutcome::notRun, QStringLiteral("缺少 yt-dlp，请先安装")};
    const QString before = versionOf(settings, *tool);
    const Installation installation = installationOf(settings, *tool);
    const QString version = before.isEmpty() ? QString() : QStringLiteral(" ") + before;
    switch (installation.kind) {
        case Installation::Kind::homebrew:
            return runUpdate(settings, *tool, before, *brew(settings),
                             {QStringLiteral("upgrade"), QStringLiteral("yt-dlp")},
                             QStringLiteral("brew upgrade yt-dlp"));
        case Installation::Kind::pipx:
            if (const std::optional<QString> pipx = find(settings, QStringLiteral("pipx"))) {
                return runUpdate(settings, *tool, before, *pipx,
                                 {QStringLiteral("upgrade"), QStringLiteral("yt-dlp")},
                                 QStringLiteral("pipx upgrade yt-dlp"));
            }
            break;
        case Installation::Kind::standalone:
            // The release's own updater checks the download against the release's checksums.
            return runUpdate(settings, *tool, before, *tool, {QStringLiteral("-U")},
                             QStringLiteral("yt-dlp -U"));
        case Installation::Kind::distribution: {
            const QString text = QStringLiteral("yt-dlp") + version +
                                 QStringLiteral(" 来自系统软件包，请在终端运行：") +
                                 installation.updateCommand;
            Log::write(QStringLiteral("更新 yt-dlp：") + installation.realPath +
                       QStringLiteral(" 属于 ") + installation.owner + QStringLiteral("，未更新"));
            return {UpdateOutcome::notRun, text, installation.updateCommand};
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
    return {UpdateOutcome::notRun, text, installation.updateCommand};
}

}  // namespace Tools
