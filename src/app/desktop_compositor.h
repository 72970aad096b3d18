#pragma once

#include <QByteArray>

// Whether a compositing manager runs, so a window with an alpha channel shows what is behind
// it where it draws nothing. Without one, such a window shows black there, so the panel draws
// round corners and a shadow only when this holds.
namespace DesktopCompositor {

// Where the application draws: on Wayland there is always a compositor; on X11 one runs when
// the _NET_WM_CM_S<screen> selection has an owner; anywhere else (offscreen) none.
bool running();
// Whether the X server at `display` (as in DISPLAY, ":1" or ":1.0") has a compositing manager
// for the screen the name picks.
bool runsOnDisplay(const QByteArray& display);

}  // namespace DesktopCompositor
