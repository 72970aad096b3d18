#pragma once

#include "support/command_result.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// The external tools (yt-dlp, ffmpeg, brew): where they are, the environment they run with,
// the status line of the panel and the yt-dlp update. Nothing is cached, so a tool installed
// while Quorvin runs is found at the next attempt.
namespace Tools {

// The command that installs yt-dlp and ffmpeg here, shown in advice and copied by the install
// remedy: the package manager named by os-release (apt, dnf, pacman, zypper), else Homebrew's
// "brew install yt-dlp ffmpeg deno" (always where there is no os-release).
QString installCommand();

// The folders searched, in order: the Homebrew folders, ~/.local/bin and, on Linux, Linuxbrew
// and /usr/bin (where the distribution's packages live).
QStringList searchDirs();
// Tests search their own folders instead (a fake tool first, or a tool missing); an empty list
// restores the real ones.
void setSearchDirsForTesting(const QStringList& dirs);

// The first executable file called `name` in the search folders.
std::optional<QString> find(const QString& name);
std::optional<QString> ytdlp();
std::optional<QString> ffmpeg();
std::optional<QString> brew();

// The program's environment with a fixed PATH, a UTF-8 locale for Python, Homebrew kept quiet
// and empty proxy variables removed (a proxy with a value is passed on).
QProcessEnvironment environment();

// Runs a tool to completion with environment(). Blocking.
CommandResult run(const QString& path, const QStringList& args);

// The one-line tool status for the panel. Blocking: runs yt-dlp --version.
QString statusText();

// Updates yt-dlp the way it was installed (Homebrew, pipx, or the release's own updater) and
// says how it went in one line, with the version before and after. A copy that a package
// manager owns is left alone; the line names the command that updates it. Every outcome is
// logged with the tool's output. Blocking, possibly for minutes.
QString update();

struct UpdateOutcome {
    enum Kind : quint8 { updated, current, failed, notRun };
    Kind kind;
    QString text;  // what update() returns
};
UpdateOutcome updateOutcome();

// Where Homebrew installs (a yt-dlp elsewhere is not brew's to upgrade).
QStringList homebrewPrefixes();
// Tests treat their own folders as Homebrew's; an empty list restores the real ones.
void setHomebrewPrefixesForTesting(const QStringList& prefixes);

}  // namespace Tools
