#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the panel's top-left corner goes for an anchor (the tray icon's rectangle, or a 1 × 1
// rectangle at the pointer): centred on the anchor, below it when the anchor is in the upper
// half of the screen (a top panel), above it otherwise (a bottom panel), always wholly inside
// the screen's available area.
QPoint panelPosition(const QRect& anchor, const QSize& size, const QRect& available);
