// The drawn pictures, checked pixel by pixel against their proportions and colours.

#include "gui/logo.h"
#include "app/panel_placement.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace {

bool opaque(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) > 128;
}

// Columns of a row that are covered, as [first, last].
std::pair<int, int> coveredSpan(const QImage& image, int y,
                                const std::function<bool(QRgb)>& covered) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (!covered(image.pixel(x, y))) continue;
        if (first < 0) first = x;
        last = x;
    }
    return {first, last};
}

bool near(QRgb pixel, const QColor& color, int tolerance = 12) {
    return std::abs(qRed(pixel) - color.red()) <= tolerance &&
           std::abs(qGreen(pixel) - color.green()) <= tolerance &&
           std::abs(qBlue(pixel) - color.blue()) <= tolerance;
}

TEST(Logo, BadgeAt22HasItsBarFrom26To74PercentAndGradientEnds) {
    // Drawn large enough that one pixel is under 1 % of the width, at 22 points.
    const qreal ratio = 10;
    const QImage badge = Logo::badgeImage(22, ratio).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(badge.size(), QSize(220, 220));
    EXPECT_EQ(badge.devicePixelRatio(), ratio);
    // The bar's middle row: 72 % + 4.5 % of the width down.
    const auto [left, right] =
        coveredSpan(badge, int(220 * 0.765), [](QRgb p) { return near(p, Qt::white, 40); });
    EXPECT_NEAR(left, 220 * 0.26, 2.5);
    EXPECT_NEAR(right + 1, 220 * 0.74, 2.5);
    // 45°: coral at the lower left, rose at the upper right; corners (radius 4.95 pt) clear.
    EXPECT_TRUE(near(badge.pixel(30, 190), Logo::coral(), 20)) << std::hex << badge.pixel(30, 190);
    EXPECT_TRUE(near(badge.pixel(190, 30), Logo::rose(), 20)) << std::hex << badge.pixel(190, 30);
    EXPECT_FALSE(opaque(badge, 1, 1));
    EXPECT_TRUE(opaque(badge, 22, 22));
    EXPECT_FALSE(opaque(badge, 12, 12));  // inside the square, outside the 4.95-point corner
}

// WCAG's relative luminance and contrast ratio.
double luminance(QRgb pixel) {
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) +
           0.0722 * channel(qBlue(pixel));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The share of the glyph's solid pixels (antialiased edges left out) that stand out from the
// panel by at least 3:1 (the contrast WCAG asks of graphics), once the icon is drawn over it.
double legibleShare(QImage icon, const QColor& panel) {
    icon.setDevicePixelRatio(1);  // pixel for pixel
    QImage shown(icon.size(), QImage::Format_ARGB32);
    shown.fill(panel);
    QPainter(&shown).drawImage(0, 0, icon);
    int glyph = 0;
    int legible = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            if (qAlpha(icon.pixel(x, y)) < 230) continue;
            ++glyph;
            if (contrast(shown.pixel(x, y), panel.rgb()) >= 3.0) ++legible;
        }
    }
    return glyph == 0 ? 0.0 : double(legible) / glyph;
}

TEST(Logo, StatusGlyphsReadOnLightAndDarkPanels) {
    const QColor light(0xf5, 0xf5, 0xf5);
    const QColor dark(0x20, 0x20, 0x20);
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage idle = Logo::statusImage(false, ratio).convertToFormat(QImage::Format_ARGB32);
        const QImage busy = Logo::statusImage(true, ratio).convertToFormat(QImage::Format_ARGB32);
        // Busy is rose all over, which stands out on both; the idle glyph's white body carries
        // it on a dark panel and its rim on a light one: at 16 pixels each is about half of it.
        EXPECT_GT(legibleShare(busy, light), 0.9) << ratio;
        EXPECT_GT(legibleShare(busy, dark), 0.9) << ratio;
        EXPECT_GT(legibleShare(idle, light), 0.35) << ratio;
        EXPECT_GT(legibleShare(idle, dark), 0.35) << ratio;
    }
}

TEST(Logo, StatusGlyphProportionsAndTheInstalledSymbolicIconMatchTheDrawnOne) {
    const QImage busy = Logo::statusImage(true, 4).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(busy.size(), QSize(72, 72));
    // The triangle's middle (50 %, about 40 % down the inner 16 points, plus the 1-point inset).
    const int x = 36;
    const int y = 4 + int(64 * 0.40);
    EXPECT_TRUE(near(busy.pixel(x, y), Logo::rose(), 2));
    // The tray bar spans 22 %–78 % of the inner square; the 1-point border stays empty.
    const auto [left, right] =
        coveredSpan(busy, 4 + int(64 * 0.795), [](QRgb p) { return qAlpha(p) > 128; });
    EXPECT_NEAR(left, 4 + 64 * 0.22, 1.5);
    EXPECT_NEAR(right + 1, 4 + 64 * 0.78, 1.5);
    for (int i = 0; i < 72; ++i) {
        EXPECT_FALSE(opaque(busy, i, 0) || opaque(busy, 0, i) || opaque(busy, i, 71) ||
                     opaque(busy, 71, i));
    }
    // The icon draws itself at any size asked for, not a scaled copy.
    const QImage fromIcon = Logo::statusIcon(true).pixmap(QSize(18, 18), 4.0).toImage();
    EXPECT_EQ(fromIcon.size(), QSize(72, 72));
    EXPECT_TRUE(near(fromIcon.pixel(x, y), Logo::rose(), 2));

    // The symbolic SVG that trays recolour covers the same pixels as the drawn idle glyph.
    QSvgRenderer svg(Logo::symbolicIconSvg());
    ASSERT_TRUE(svg.isValid());
    QImage fromSvg(64, 64, QImage::Format_ARGB32);
    fromSvg.fill(Qt::transparent);
    QPainter painter(&fromSvg);
    svg.render(&painter, QRectF(0, 0, 64, 64));
    painter.end();
    const QImage idle = Logo::statusImage(false, 4).convertToFormat(QImage::Format_ARGB32);
    int both = 0;
    int either = 0;
    for (int py = 0; py < 64; ++py) {
        for (int px = 0; px < 64; ++px) {
            const bool inSvg = opaque(fromSvg, px, py);
            const bool drawn = opaque(idle, px + 4, py + 4);
            both += inSvg && drawn;
            either += inSvg || drawn;
        }
    }
    ASSERT_GT(either, 500);
    EXPECT_GT(double(both) / either, 0.9);
    EXPECT_TRUE(Logo::symbolicIconName().endsWith(QStringLiteral("-symbolic")));
}

TEST(Logo, GlyphKeepsItsShapeInATallRectangleAndStaysInsideItsSquare) {
    // A tray may hand the icon a rectangle that is not square: the glyph is neither stretched
    // nor moved, and nothing of it reaches below the square of the rectangle's width.
    for (const bool menuBar : {false, true}) {
        const auto draw = [&](QSizeF size) {
            QImage image(200, 400, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            Logo::drawGlyph(painter, QRectF(QPointF(0, 0), size), Qt::black, menuBar);
            painter.end();
            return image;
        };
        const QImage square = draw(QSizeF(200, 200));
        const QImage tall = draw(QSizeF(200, 400));
        EXPECT_EQ(tall, square) << "menuBar " << menuBar;
        int covered = 0;
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 200; ++x) {
                if (qAlpha(square.pixel(x, y)) == 0) continue;
                ++covered;
                EXPECT_LT(y, 200) << "menuBar " << menuBar;
            }
        }
        EXPECT_GT(covered, 200 * 200 / 10);  // something of weight was drawn
    }
}

TEST(PanelPlacement, UnderTheIconCentredAndAlwaysOnScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize size(440, 300);
    // A top-panel icon in the middle: centred under it.
    EXPECT_EQ(panelPosition(QRect(630, 0, 21, 24), size, screen), QPoint(420, 28));
    // Near the right edge: pushed left to fit.
    EXPECT_EQ(panelPosition(QRect(1250, 0, 24, 24), size, screen), QPoint(840, 28));
    // A bottom panel: above the icon.
    EXPECT_EQ(panelPosition(QRect(10, 776, 24, 24), size, screen), QPoint(0, 472));
    // Taller than the screen: the top stays visible.
    EXPECT_EQ(panelPosition(QRect(640, 780, 1, 1), QSize(440, 900), screen).y(), 0);
    // A second screen to the right, with a panel taking its top 30 pixels.
    EXPECT_EQ(panelPosition(QRect(2000, 5, 1, 1), size, QRect(1280, 30, 1920, 1050)),
              QPoint(1780, 30));
}

}  // namespace
