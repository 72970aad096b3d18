#pragma once

#include "gui/panel_callbacks.h"

class DownloadManager;
class PasteField;
class QQuickView;

// Loads the panel (the QML module Quorvin.Panel, compiled in) into `view`, with its bridge to
// `manager` and the text field `field`. The root item is 440 logical pixels wide and takes its
// own height; it calls onHeightChange whenever that changes.
void loadPanel(QQuickView& view, DownloadManager& manager, PasteField& field,
               PanelCallbacks callbacks);
