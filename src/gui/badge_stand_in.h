#pragma once

#include <QImage>

// The header badge until the shared Logo drawing is available to the panel: the coral-to-rose
// square with the white download glyph, drawn at `size` pixels.
QImage badgeStandIn(int size);
