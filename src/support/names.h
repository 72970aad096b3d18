#pragma once

#include <QString>

// Names Quorvin spells in several places. Changing one here changes every use at once, which
// matters: the start-up clean-up finds leftovers only by the prefix their creators wrote.
namespace Names {

// The application and organisation name: the settings file (~/.config/Quorvin/Quorvin.conf)
// and the support and log folders are named after it.
inline QString app() {
    return QStringLiteral("Quorvin");
}

// Every temporary file and folder of a download in progress starts with this, in the temporary
// folder and (with a leading dot) on the Desktop.
inline QString temporaryPrefix() {
    return QStringLiteral("quorvin-");
}

// The working folder of one yt-dlp attempt: this prefix, then the item's id.
inline QString workFolderPrefix() {
    return temporaryPrefix() + QStringLiteral("dl-");
}

// The reverse-DNS id that names the desktop entry, the icon, the AppStream metainfo and the
// autostart entry. The app announces it as its desktop file name, so desktops match its windows
// to the entry. packaging/CMakeLists.txt and the package test read it from the marked line.
inline QString desktopId() {
    return QStringLiteral("io.github.quorvin.Quorvin");  // desktop id
}

}  // namespace Names
