#pragma once

#include "core/platform.h"

#include <QColor>
#include <QVariantMap>

// A platform as QML reads it: "raw", "name", "mark", "colors" (list of colours, at least one)
// and "color" (the representative one).
QVariantMap platformValues(Platform platform);

QColor toColor(Rgb rgb);
