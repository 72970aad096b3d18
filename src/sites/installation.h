#pragma once

#include "sites/tools.h"

#include <QString>

// How the yt-dlp in use came onto this machine, found from its real path and files. It decides
// how the tool is updated: a package manager's files are not ours to replace, and a copy that
// pip or pipx installed must be updated by them.
namespace Tools {

struct Installation {
    enum class Kind : quint8 {
        homebrew,      // in a Homebrew prefix, brew present: "brew upgrade yt-dlp"
        pipx,          // a pipx virtual environment: "pipx upgrade yt-dlp"
        pip,           // a pip console script elsewhere: pip updates it, not Quorvin
        standalone,    // a release file the user may replace: "yt-dlp -U"
        distribution,  // owned by the system's package database: its package manager updates it
        unknown,       // none of these (for example a read-only copy nobody owns)
    };

    Kind kind = Kind::unknown;
    QString path;      // as found in the search folders
    QString realPath;  // with symbolic links resolved
    // What updates it, as one would type it in a terminal; empty when nothing known does.
    QString updateCommand;

    // "Homebrew", "pipx", "pip", "release file", "distribution package (dpkg)", "unknown".
    QString description() const;

    // Set for distribution: which database owns the file ("dpkg", "rpm" or "pacman").
    QString owner;
};

// Looks at the file at `path` (the yt-dlp found by Tools::find). Blocking: reads the package
// database and may run rpm.
Installation installationOf(const Settings& settings, const QString& path);

// The package manager of this system from os-release (ID, then ID_LIKE): "apt", "dnf",
// "pacman", "zypper", or empty when none of these is named.
QString systemPackageManager(const Settings& settings);

}  // namespace Tools
