// How the panel stands out from the windows behind it, and how its ⋯ menu looks and sizes
// itself: checked on the real QML through pixels and geometry.

#include "channels/cookie_jar.h"
#include "panel_harness.h"

#include <gtest/gtest.h>

#include <QPalette>
#include <QTest>

namespace {

int channelDistance(QColor a, QColor b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue())});
}

QQuickItem* menuEntry(QObject* menu, int index) {
    QQuickItem* entry = nullptr;
    QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem*, entry), Q_ARG(int, index));
    return entry;
}

QObject* openMoreMenu(PanelHarness& panel) {
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      panel.geometry("moreButton").center().toPoint());
    panel.settle();
    QObject* menu = panel.find("moreMenu");
    EXPECT_TRUE(menu && menu->property("visible").toBool());
    return menu;
}

// The greatest distance from `background` of any pixel inside `area`: how strongly the text
// drawn there stands out.
int strongestInk(const QImage& image, const QRect& area, QColor background) {
    int strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            strongest = std::max(strongest, channelDistance(image.pixelColor(x, y), background));
    }
    return strongest;
}

QRect inView(PanelHarness& panel, QQuickItem* item) {
    const qreal ratio = panel.view().devicePixelRatio();
    const QRectF area = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    return QRectF(area.topLeft() * ratio, area.size() * ratio).toAlignedRect();
}

}  // namespace

// A panel drawn in the window colour over white windows would have no edge: it is framed in the
// palette's mid colour, light and dark.
TEST(PanelLooks, ThePanelIsFramedInThePalettesMidColour) {
    for (const bool dark : {false, true}) {
        PanelHarness panel(dark);
        const QImage image = panel.grab();
        const QColor mid = QGuiApplication::palette().color(QPalette::Mid);
        const int w = image.width(), h = image.height();
        for (const QPoint& edge : {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2),
                                   QPoint(w - 1, h / 2), QPoint(0, 0), QPoint(w - 1, h - 1)}) {
            EXPECT_LE(channelDistance(image.pixelColor(edge), mid), 8)
                << "dark " << dark << " at " << edge.x() << "," << edge.y() << ": "
                << image.pixelColor(edge).name().toStdString();
        }
        // Just inside the frame the panel's own colour shows.
        const QColor window = QGuiApplication::palette().color(QPalette::Window);
        EXPECT_LE(channelDistance(image.pixelColor(2, h / 2), window), 8) << "dark " << dark;
    }
}

// The login state is a line of information, not a command: it is drawn dimmed, and the pointer
// over it lights nothing up.
TEST(PanelLooks, TheDisabledLoginStateLooksDisabledAndIgnoresThePointer) {
    logInToYuanbao(true);
    // The jar outlives the test: later tests expect no login.
    const std::shared_ptr<void> logOut(nullptr, [](void*) { CookieJar::write({}); });
    PanelHarness panel;
    panel.manager().refreshStatus();
    openMoreMenu(panel);
    auto* state = panel.item("yuanbaoState");
    auto* logout = panel.item("logoutYuanbao");
    ASSERT_TRUE(state && state->isVisible() && !state->isEnabled());
    ASSERT_TRUE(logout && logout->isVisible() && logout->isEnabled());

    QTest::mouseMove(&panel.view(), inView(panel, state).center());
    panel.settle();
    EXPECT_FALSE(state->property("highlighted").toBool());
    const QImage image = panel.grab();
    const QRect stateArea = inView(panel, state);
    const QRect logoutArea = inView(panel, logout);
    // The menu's own background, beside the text at the entry's trailing end.
    const QColor background = image.pixelColor(stateArea.right() - 3, stateArea.center().y());
    EXPECT_EQ(background, image.pixelColor(logoutArea.right() - 3, logoutArea.center().y()))
        << "the entry under the pointer is highlighted";
    const int dimmed = strongestInk(image, stateArea, background);
    const int normal = strongestInk(image, logoutArea, background);
    EXPECT_GT(normal, 150);
    EXPECT_LT(dimmed, normal / 2) << "disabled " << dimmed << ", enabled " << normal;
}

// The window grows to hold the open menu; once the menu closes it is the panel's height again,
// with no blank strip below the content.
TEST(PanelLooks, TheWindowReturnsToThePanelsHeightWhenTheMenuCloses) {
    PanelHarness panel;
    const int closedHeight = panel.view().height();
    QObject* menu = openMoreMenu(panel);
    ASSERT_TRUE(panel.waitFor([&] { return panel.view().height() > closedHeight; }))
        << "the window did not grow for the menu";
    QMetaObject::invokeMethod(menu, "close");
    EXPECT_TRUE(panel.waitFor([&] {
        return !menu->property("visible").toBool() && panel.view().height() == closedHeight;
    })) << "height "
        << panel.view().height() << ", panel " << closedHeight;
    panel.settle();
    EXPECT_EQ(panel.view().height(), closedHeight);
    EXPECT_EQ(panel.root()->height(), closedHeight);
}

// The tools entry names its versions ("更新下载组件（yt-dlp 2025.04.30 · ffmpeg 5.1.6）") and is
// the longest: the menu is as wide as it, so nothing is cut off.
TEST(PanelLooks, TheMenuIsAsWideAsItsWidestEntry) {
    PanelHarness panel;
    QObject* menu = openMoreMenu(panel);
    // The tools found here have short names; the entry takes the text it has on a real system.
    QQuickItem* tools = panel.item("updateTools");
    ASSERT_TRUE(tools);
    tools->setProperty("text", QStringLiteral("更新下载组件（yt-dlp 2025.04.30 · ffmpeg 5.1.6）"));
    panel.settle();
    const int count = menu->property("count").toInt();
    ASSERT_GT(count, 5);
    bool toolsSeen = false;
    for (int i = 0; i < count; ++i) {
        QQuickItem* entry = menuEntry(menu, i);
        if (!entry || !entry->isVisible()) continue;
        toolsSeen |= entry == tools;
        const qreal needed = entry->property("implicitContentWidth").toReal() +
                             entry->property("leftPadding").toReal() +
                             entry->property("rightPadding").toReal();
        EXPECT_GE(entry->width() + 0.5, needed) << entry->property("text").toString().toStdString();
        EXPECT_LE(entry->width(), menu->property("width").toReal());
    }
    EXPECT_TRUE(toolsSeen);
}
