#pragma once

// Whether a mouse button is held down anywhere on the desktop, in whichever window: while it is,
// a press in another window may still become a drag towards the panel. False where the display
// does not tell (anything but X11).
namespace PointerButtons {

bool held();

}  // namespace PointerButtons
