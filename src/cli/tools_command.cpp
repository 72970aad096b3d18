// quorvin-cli tools: what the panel would say about the download tools, and where they came
// from; with --update, the update the panel's entry runs. Support reads this first when a site
// stops working.

#include "cli/command.h"
#include "sites/installation.h"
#include "sites/tools.h"

namespace {

QString firstLine(const QString& text) {
    return text.trimmed().section(u'\n', 0, 0).trimmed();
}

QString describeTool(const std::optional<QString>& path, const QString& version) {
    if (!path) return QStringLiteral("(missing)");
    return version.isEmpty() ? *path : *path + u' ' + version;
}

int runTools(const QStringList& arguments) {
    bool update = false;
    for (const QString& argument : arguments) {
        if (argument == u"--update") {
            update = true;
        } else {
            Cli::err(QStringLiteral("quorvin-cli tools: unknown argument \"%1\"\n"
                                    "usage: quorvin-cli tools [--update]\n")
                         .arg(argument));
            return 2;
        }
    }
    const Tools::Settings settings;  // this machine's real places
    if (update) {
        const Tools::UpdateOutcome outcome = Tools::updateOutcome(settings);
        Cli::out(outcome.text + u'\n');
        // A copy that is not ours to update is not an error of this command; a failed run is.
        return outcome.kind == Tools::UpdateOutcome::failed ? 1 : 0;
    }

    const std::optional<QString> ytdlp = Tools::ytdlp(settings);
    const std::optional<QString> ffmpeg = Tools::ffmpeg(settings);
    QString ytdlpVersion;
    if (ytdlp)
        ytdlpVersion =
            firstLine(Tools::run(settings, *ytdlp, {QStringLiteral("--version")}).output);
    QString ffmpegVersion;
    if (ffmpeg) {
        // "ffmpeg version 5.1.6-0+deb12u1 Copyright …": the third word.
        ffmpegVersion =
            firstLine(Tools::run(settings, *ffmpeg, {QStringLiteral("-version")}).output)
                .section(u' ', 2, 2);
    }

    QString text = QStringLiteral("status: ") + Tools::statusText(settings) + u'\n';
    text += QStringLiteral("yt-dlp: ") + describeTool(ytdlp, ytdlpVersion) + u'\n';
    text += QStringLiteral("ffmpeg: ") + describeTool(ffmpeg, ffmpegVersion) + u'\n';
    if (ytdlp) {
        const Tools::Installation installation = Tools::installationOf(settings, *ytdlp);
        text += QStringLiteral("installed-by: ") + installation.description();
        if (installation.realPath != installation.path) {
            text += QStringLiteral(" (") + installation.realPath + u')';
        }
        text += u'\n';
        text += QStringLiteral("update-command: ") +
                (installation.updateCommand.isEmpty() ? QStringLiteral("(none known)")
                                                      : installation.updateCommand) +
                u'\n';
    }
    text += QStringLiteral("install-command: ") + Tools::installCommand(settings) + u'\n';
    Cli::out(text);
    return 0;
}

}  // namespace

QUORVIN_CLI_COMMAND(tools, "tools",
                    "tools [--update]   print the tool status, each tool's path and version, how "
                    "yt-dlp was installed and the install and update commands; --update updates "
                    "yt-dlp as the panel does",
                    runTools)
