#pragma once

class QQuickWindow;

// What a hidden panel gives back while the tray app idles, which is most of its life: the scene
// graph's caches of the window, the QML engine's garbage and unused compiled components, and
// the heap pages malloc keeps for reuse after the panel's (and the start's) allocations.
namespace IdleMemory {

void release(QQuickWindow& hiddenWindow);

}  // namespace IdleMemory
