#pragma once

class QQuickWindow;

// Frame times of a window, for the soak benchmark: with QUORVIN_FRAME_LOG=<file> set, every
// frame the window draws appends one line to that file: the microseconds from the start of the
// frame's sync to its swap (sync, render and the copy to the screen), a space, and the CPU
// microseconds the drawing thread spent on it (the frame's own cost, without waits for the display
// server or for a core). Without the variable nothing is connected and the window draws as it
// always does.
namespace FrameLog {

void attachIfAsked(QQuickWindow& window);

}  // namespace FrameLog
