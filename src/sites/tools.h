#pragma once

#include "support/command_result.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// The external tools (yt-dlp, ffmpeg, brew): where they are, the environment they run with,
// the status line of the panel and the yt-dlp update. Nothing is cached, so a tool installed
// while Quorvin runs is found at the next attempt. Where to look comes in as Settings: the
// program uses the defaults, tests describe a machine of their own.
namespace Tools {

// The folders searched, in order: the Homebrew folders, ~/.local/bin and, on Linux, Linuxbrew
// and /usr/bin (where the distribution's packages live).
QStringList defaultSearchDirs();
// Where Homebrew installs (a yt-dlp elsewhere is not brew's to upgrade).
QStringList defaultHomebrewPrefixes();
// /etc/os-release, or the standard's fallback /usr/lib/os-release when /etc has none.
QString defaultOsReleasePath();

struct Settings {
    QStringList searchDirs = defaultSearchDirs();
    QStringList homebrewPrefixes = defaultHomebrewPrefixes();
    // Says which system this is (ID, ID_LIKE).
    QString osReleasePath = defaultOsReleasePath();
    // Under which var/lib/dpkg and var/lib/pacman are looked for; empty is the real "/".
    QString packageRoot;
};

// The command that installs yt-dlp and ffmpeg here, shown in advice and copied by the install
// remedy: the package manager named by os-release (apt, dnf, pacman, zypper), else Homebrew's
// "brew install yt-dlp ffmpeg deno" (always where there is no os-release).
QString installCommand(const Settings& settings);

// The first executable file called `name` in the search folders.
std::optional<QString> find(const Settings& settings, const QString& name);
std::optional<QString> ytdlp(const Settings& settings);
std::optional<QString> ffmpeg(const Settings& settings);
std::optional<QString> brew(const Settings& settings);

// The program's environment with a fixed PATH, a UTF-8 locale for Python, Homebrew kept quiet
// and empty proxy variables removed (a proxy with a value is passed on).
QProcessEnvironment environment(const Settings& settings);

// Runs a tool to completion with environment(). Blocking.
CommandResult run(const Settings& settings, const QString& path, const QStringList& args);

// The one-line tool status for the panel. Blocking: runs yt-dlp --version.
QString statusText(const Settings& settings);

// Updates yt-dlp the way it was installed (Homebrew, pipx, or the release's own updater) and
// says how it went in one line, with the version before and after. A copy that a package
// manager owns is left alone; the line names the command that updates it. Every outcome is
// logged with the tool's output. Blocking, possibly for minutes.
QString update(const Settings& settings);

struct UpdateOutcome {
    enum Kind : quint8 { updated, current, failed, notRun };
    Kind kind;
    QString text;     // what update() returns
    QString command;  // the command the user runs instead, when Quorvin leaves the update to it
};
UpdateOutcome updateOutcome(const Settings& settings);

}  // namespace Tools
