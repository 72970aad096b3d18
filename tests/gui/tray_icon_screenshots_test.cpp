// The tray glyphs as a person sees them: idle and busy on a light and on a dark panel, at one
// and two device pixels per point, enlarged so the pixels can be told apart.
// scripts/screenshots.sh runs it with QUORVIN_SCREENSHOTS set to the output folder.

#include "gui/logo.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

QImage panelStrip(const QColor& panel, qreal ratio) {
    constexpr int kZoom = 4;
    const int side = int(18 * ratio);
    QImage strip(side * 2 + 24, side + 8, QImage::Format_ARGB32);
    strip.fill(panel);
    QPainter painter(&strip);
    int x = 8;
    for (const bool busy : {false, true}) {
        QImage glyph = Logo::statusImage(busy, ratio);
        glyph.setDevicePixelRatio(1);
        painter.drawImage(x, 4, glyph);
        x += side + 8;
    }
    painter.end();
    return strip.scaled(strip.size() * kZoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

TEST(Screenshots, DISABLED_TrayIconsOnLightAndDarkPanels) {
    const QString folder = qEnvironmentVariable("QUORVIN_SCREENSHOTS");
    ASSERT_FALSE(folder.isEmpty());
    const struct {
        const char* name;
        QColor panel;
    } panels[] = {{"light", QColor(0xf5, 0xf5, 0xf5)}, {"dark", QColor(0x20, 0x20, 0x20)}};
    for (const auto& [name, panel] : panels) {
        for (const qreal ratio : {1.0, 2.0}) {
            const QString path = QStringLiteral("%1/tray-icons-%2-%3x.png")
                                     .arg(folder, QLatin1String(name))
                                     .arg(int(ratio));
            EXPECT_TRUE(panelStrip(panel, ratio).save(path)) << path.toStdString();
        }
    }
}

}  // namespace
