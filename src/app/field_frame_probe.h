#pragma once

class PasteField;
class QQuickWindow;

// For the click benchmark, when QUORVIN_CLICK_PROBE is set: prints the moment a frame of the
// panel reaches the screen showing a text in the field that no frame showed before
// ("field-frame <ms since the epoch> <text>"), and the moment the panel hides
// ("panel-hidden <ms since the epoch>"), on standard output. A tray click with a fresh link on
// the clipboard is timed up to the frame that shows that link. Off, it costs nothing.
namespace FieldFrameProbe {

void watch(QQuickWindow& panel, const PasteField& field);

}  // namespace FieldFrameProbe
