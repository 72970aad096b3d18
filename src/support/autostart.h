#pragma once

#include <QString>

// Start at log-in, the freedesktop way: an entry named after the desktop id in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart), which every desktop that follows the
// autostart rules starts after log-in. The app itself waits, bounded, for the tray host, so the
// entry only has to start it.
namespace Autostart {

// $XDG_CONFIG_HOME/autostart/<desktop id>.desktop.
QString entryPath();

// True when the entry exists and is not switched off: desktop settings tools keep the file and
// set "Hidden=true" or "X-GNOME-Autostart-enabled=false" instead of deleting it.
bool isEnabled();

// Writes the entry (replacing any switched-off one, never leaving a half-written file) or
// removes it. `program` is what the entry starts; empty means the running program (see
// execProgram). Throws std::runtime_error with a message for people when the file cannot be
// written or removed.
void setEnabled(bool enabled, const QString& program = {});

// The program the entry should start for a running executable: "quorvin" when that is what
// PATH finds (an installed copy keeps working across upgrades), else the executable's own
// absolute path (a build started from its folder).
QString execProgram(const QString& runningExecutable);

// The entry's text for a program path or name; Exec and TryExec are quoted as the desktop entry
// rules demand, whatever the path holds.
QString entryText(const QString& program);

}  // namespace Autostart
