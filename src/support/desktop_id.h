#pragma once

// The reverse-DNS id that names Quorvin's desktop entry, icon, AppStream metainfo and autostart
// entry. The app announces it as its desktop file name, so desktops match its windows to the
// entry. packaging/CMakeLists.txt reads the id from this line.
#define QUORVIN_DESKTOP_ID "io.github.quorvin.Quorvin"
