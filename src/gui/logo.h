#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRectF>

class QPainter;

// Quorvin's pictures, drawn in code at proportions of the target rectangle so they are sharp at
// any size: a downward triangle above a short capsule bar. The painter's y axis grows downwards.
namespace Logo {

QColor coral();  // 255, 122, 89
QColor rose();   // 233, 58, 105

// The glyph in `rect`, every coordinate a fraction of the width. The tray variant (menuBar) is
// the bolder, wider one.
void drawGlyph(QPainter& painter, const QRectF& rect, const QColor& color, bool menuBar);
// A rounded square with a 45° coral→rose gradient and the glyph in white.
void drawBadge(QPainter& painter, const QRectF& rect);
// The badge on a white rounded plate with a soft shadow: the application icon.
void drawAppIcon(QPainter& painter, const QRectF& rect);

// The tray glyph: an 18 × 18 logical-pixel picture whose glyph fills the middle 16 × 16. Busy is
// rose. No tray tells an icon what it is drawn on, and panels are dark as often as light, so the
// idle glyph carries its own contrast: a white glyph inside a dark outline reads on both. The icon
// draws itself afresh for every size and device pixel ratio it is asked for.
QIcon statusIcon(bool busy);
QImage statusImage(bool busy, qreal devicePixelRatio = 1.0);
// The idle glyph by its icon-theme name, for trays that recolour themed icons to suit their
// panel (StatusNotifierItem hosts do, for names ending in "-symbolic"), with the drawn one as
// the fallback where the theme has no such icon (an uninstalled build).
QIcon themedIdleStatusIcon();
// The installed symbolic icon's name and its SVG text (drawn from the same shape numbers).
QString symbolicIconName();
QByteArray symbolicIconSvg();

// The badge as a size × size picture in logical pixels.
QImage badgeImage(int size, qreal devicePixelRatio = 1.0);
// The application icon with the usual sizes for window lists and dialogs.
QIcon appIcon();

}  // namespace Logo
