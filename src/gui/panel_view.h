#pragma once

#include <QQuickWindow>

#include <functional>

class DownloadManager;
class PasteField;
class QQuickView;

struct PanelCallbacks {
    std::function<void()> onQuit;
    std::function<void()> onRemoveOldCert;       // may be empty
    std::function<void(double)> onHeightChange;  // the panel's measured height, in points
};

// Loads the panel into `view` (sets its source and whatever the QML needs), over the manager's
// list and the text field `field`. The root item is 440 wide and takes its own height; it calls
// onHeightChange whenever that changes.
void loadPanel(QQuickView& view, DownloadManager& manager, PasteField& field,
               PanelCallbacks callbacks);
