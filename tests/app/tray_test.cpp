// The tray app as a person meets it: a real X server, window manager and tray host, the real
// quorvin program, clicks through xdotool and calls over D-Bus.

#include "app/desktop_session.h"

#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

namespace {

using namespace std::chrono_literals;

struct StartedApp {
    QProcess* process = nullptr;
    bool ok = false;
};

StartedApp startApp(DesktopSession& desktop, const QStringList& extra = {}) {
    // Not the first run: the panel would open by itself half a second after start.
    Settings::setValue(QStringLiteral("welcomed2"), true);
    StartedApp app{desktop.startApp(extra)};
    app.ok = TestSupport::waitUntil(
        [] { return logLinesContaining(QStringLiteral("App 启动（")) == 1; }, 10s);
    return app;
}

QString shotPath(const QString& name) {
    // Kept after the test, for people to look at.
    QDir().mkpath(QStringLiteral(QUORVIN_BUILD_DIR "/screenshots"));
    return QStringLiteral(QUORVIN_BUILD_DIR "/screenshots/") + name + QStringLiteral(".png");
}

class XEmbedTray : public ::testing::Test {
protected:
    DesktopSession desktop{DesktopSession::Tray::xembed};
};

TEST_F(XEmbedTray, IconClicksTogglePanelAtTheIconAndRightClickOpensTheMenu) {
    ASSERT_EQ(desktop.problem(), QString());
    ASSERT_TRUE(startApp(desktop).ok);
    // The icon is embedded into trayer (top right); its window is quorvin's.
    QString icon;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            for (const QString& window : desktop.windowsOfClass(QStringLiteral("quorvin"))) {
                const QRect r = desktop.geometry(window);
                if (r.width() > 0 && r.width() <= 32 && r.top() < 30 && r.left() > 1100)
                    icon = window;
            }
            return !icon.isEmpty();
        },
        10s));
    const QRect iconRect = desktop.geometry(icon);

    desktop.run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("5"),
                 QStringLiteral("5"), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    const QRect panel = desktop.geometry(desktop.panels().first());
    desktop.screenshot(shotPath(QStringLiteral("tray-xembed-panel")));
    EXPECT_EQ(panel.width(), 440);
    // Under the icon, centred on it as far as the screen allows, and wholly on the screen.
    EXPECT_GT(panel.top(), iconRect.bottom());
    EXPECT_LT(panel.top(), iconRect.bottom() + 20);
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(panel)) << panel.x() << "," << panel.y();
    EXPECT_GE(panel.right(), iconRect.left());

    desktop.run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("5"),
                 QStringLiteral("5"), QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().isEmpty(); }, 5s));
    // And a next click opens it again. The panel may have hidden itself on losing the
    // activation to the click that closed it; then a click that follows at once is taken for
    // part of that one and does nothing. A click that does nothing is made again.
    for (int click = 0; click < 3 && desktop.panels().isEmpty(); ++click) {
        desktop.run(
            QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("5"),
             QStringLiteral("5"), QStringLiteral("click"), QStringLiteral("1")});
        TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 3s);
    }
    EXPECT_EQ(desktop.panels().size(), 1);

    // Right click: the panel goes, a popup menu window of ours appears.
    desktop.run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("5"),
                 QStringLiteral("5"), QStringLiteral("click"), QStringLiteral("3")});
    // The menu is a further window of ours on screen: neither the icon nor the panel.
    const auto menuShown = [&] {
        for (const QString& window : desktop.windowsOfClass(QStringLiteral("quorvin"))) {
            if (window == icon) continue;
            const QRect r = desktop.geometry(window);
            const auto state =
                desktop.run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
            if (r.width() != 440 && r.height() > 60 && state.out.contains("IsViewable"))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(TestSupport::waitUntil(menuShown, 5s));
    desktop.screenshot(shotPath(QStringLiteral("tray-xembed-menu")));
    EXPECT_TRUE(desktop.panels().isEmpty());
}

TEST_F(XEmbedTray, APressInAnotherWindowThatEndsOverThePanelKeepsItOneThatEndsThereHidesIt) {
    ASSERT_EQ(desktop.problem(), QString());
    ASSERT_TRUE(startApp(desktop).ok);
    // Another program's window, which takes the activation when pressed, as a browser does.
    QProcess other;
    other.setProcessEnvironment(desktop.environment());
    other.start(QStringLiteral("xmessage"),
                {QStringLiteral("-geometry"), QStringLiteral("300x120+40+500"),
                 QStringLiteral("a page with a link")});
    QString page;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            const QStringList windows = desktop.visibleWindows(QStringLiteral("xmessage"));
            if (!windows.isEmpty()) page = windows.first();
            return !page.isEmpty();
        },
        10s));
    const auto xdotool = [&](const QStringList& arguments) {
        desktop.run(QStringLiteral("xdotool"), arguments);
    };
    const auto showPanel = [&] {
        desktop.startApp();  // a second launch brings the panel forward
        return TestSupport::waitUntil(
            [&] {
                return desktop.panels().size() == 1 &&
                       desktop.activeWindow() == desktop.panels().first();
            },
            10s);
    };
    const auto pressOnPage = [&] {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), page,
                 QStringLiteral("20"), QStringLiteral("20"), QStringLiteral("mousedown"),
                 QStringLiteral("1")});
        return TestSupport::waitUntil([&] { return desktop.activeWindow() == page; }, 5s);
    };

    // Dragged from the page and let go over the panel: it is still there and has the keyboard.
    ASSERT_TRUE(showPanel());
    const QString panel = desktop.panels().first();
    const QPoint centre = desktop.geometry(panel).center();
    ASSERT_TRUE(pressOnPage());
    xdotool({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()),
             QStringLiteral("mouseup"), QStringLiteral("1")});
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.activeWindow() == panel; }, 5s));
    EXPECT_EQ(desktop.panels(), QStringList{panel});

    // A plain click in the page: the panel goes, as a popup does.
    ASSERT_TRUE(pressOnPage());
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().isEmpty(); }, 5s));
    other.terminate();
    other.waitForFinished(3000);
}

TEST_F(XEmbedTray, PanelWithoutIconGeometryStaysInsideTheScreen) {
    // Pointer stand-in at the very bottom right corner: the panel opens above it, on screen.
    ASSERT_EQ(desktop.problem(), QString());
    Settings::setValue(QStringLiteral("welcomed2"), false);
    QProcess* app = desktop.startApp({QStringLiteral("QUORVIN_PANEL_ANCHOR=1279,799")});
    ASSERT_NE(app, nullptr);
    // First run: the panel opens by itself.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 10s));
    EXPECT_TRUE(Settings::boolValue(QStringLiteral("welcomed2")));
}

TEST(LateTray, IconWaitsForATrayHostThatAppearsAfterTheApp) {
    // Started from autostart before the desktop's panel. Qt picks D-Bus or XEmbed once, when the
    // icon is made; made too early, it would never reach a StatusNotifierItem host.
    DesktopSession desktop(DesktopSession::Tray::none);
    ASSERT_EQ(desktop.problem(), QString());
    QProcess* asks = desktop.monitorBus(QStringLiteral(
        "type='method_call',interface='org.freedesktop.DBus',member='NameHasOwner'"));
    ASSERT_TRUE(startApp(desktop).ok);
    // The host comes only once the app is seen waiting for it: asking again and again whether
    // a watcher is there. An app that made its icon at once would have asked once at most.
    int askedForWatcher = 0;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            while (asks->canReadLine()) {
                if (asks->readLine().contains("\"org.kde.StatusNotifierWatcher\""))
                    ++askedForWatcher;
            }
            return askedForWatcher >= 3;
        },
        10s));
    desktop.startStatusNotifierHost();
    ASSERT_EQ(desktop.problem(), QString());
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] {
            const auto reply = desktop.run(
                QStringLiteral("gdbus"),
                {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                 QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("--object-path"),
                 QStringLiteral("/StatusNotifierWatcher"), QStringLiteral("--method"),
                 QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                 QStringLiteral("org.kde.StatusNotifierWatcher"),
                 QStringLiteral("RegisteredStatusNotifierItems")});
            return reply.out.contains("['");  // a non-empty list of items
        },
        5s));
}

class StatusNotifierTray : public ::testing::Test {
protected:
    DesktopSession desktop{DesktopSession::Tray::statusNotifier};

    TestSupport::ProcessResult call(const QString& service, const QString& path,
                                    const QString& method, const QStringList& arguments) {
        return desktop.run(
            QStringLiteral("gdbus"),
            QStringList{QStringLiteral("call"), QStringLiteral("--session"),
                        QStringLiteral("--dest"), service, QStringLiteral("--object-path"), path,
                        QStringLiteral("--method"), method, QStringLiteral("--")} +
                arguments);
    }
};

TEST_F(StatusNotifierTray, ItemRegistersActivatesAndExportsTheMenuInOrder) {
    ASSERT_EQ(desktop.problem(), QString());
    const StartedApp app = startApp(desktop, {QStringLiteral("QUORVIN_PANEL_ANCHOR=1200,10")});
    ASSERT_TRUE(app.ok);
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QString item;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            const auto reply = call(watcher, QStringLiteral("/StatusNotifierWatcher"),
                                    QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                                    {watcher, QStringLiteral("RegisteredStatusNotifierItems")});
            const auto match =
                QRegularExpression(QStringLiteral("'([^'/]+)")).match(QString::fromUtf8(reply.out));
            if (match.hasMatch()) item = match.captured(1);
            return !item.isEmpty();
        },
        10s));

    call(item, QStringLiteral("/StatusNotifierItem"),
         QStringLiteral("org.kde.StatusNotifierItem.Activate"),
         {QStringLiteral("0"), QStringLiteral("0")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    const QRect panel = desktop.geometry(desktop.panels().first());
    EXPECT_EQ(panel.width(), 440);
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(panel));
    EXPECT_LT(panel.top(), 40);  // under the injected pointer at the top of the screen
    desktop.screenshot(shotPath(QStringLiteral("tray-sni-panel")));
    desktop.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().isEmpty(); }, 5s));

    const auto menuPath =
        call(item, QStringLiteral("/StatusNotifierItem"),
             QStringLiteral("org.freedesktop.DBus.Properties.Get"),
             {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")});
    const QString path = QRegularExpression(QStringLiteral("'(/[^']*)'"))
                             .match(QString::fromUtf8(menuPath.out))
                             .captured(1);
    ASSERT_FALSE(path.isEmpty()) << menuPath.out.toStdString();
    const auto layout = call(item, path, QStringLiteral("com.canonical.dbusmenu.GetLayout"),
                             {QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("@as []")});
    QStringList entries;
    QString openId;
    auto it = QRegularExpression(QStringLiteral("<\\((\\d+), \\{([^}]*)\\}"))
                  .globalMatch(QString::fromUtf8(layout.out));
    while (it.hasNext()) {
        const auto entry = it.next();
        const QString properties = entry.captured(2);
        const QString label = QRegularExpression(QStringLiteral("'label': <'([^']*)'>"))
                                  .match(properties)
                                  .captured(1);
        QString text =
            properties.contains(QStringLiteral("'separator'")) ? QStringLiteral("-") : label;
        if (properties.contains(QStringLiteral("'enabled': <false>")))
            text += QStringLiteral(" (off)");
        entries << text;
        if (label == u"打开下载窗口") openId = entry.captured(1);
    }
    EXPECT_EQ(entries, QStringList({QStringLiteral("打开下载窗口"), QStringLiteral("打开桌面"),
                                    QStringLiteral("查看日志"), QStringLiteral("-"),
                                    QStringLiteral("Quorvin " QUORVIN_VERSION " (off)"),
                                    QStringLiteral("退出")}))
        << layout.out.toStdString() << layout.err.toStdString() << path.toStdString();

    const auto event =
        call(item, path, QStringLiteral("com.canonical.dbusmenu.Event"),
             {openId, QStringLiteral("clicked"), QStringLiteral("<0>"), QStringLiteral("0")});
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s))
        << openId.toStdString() << event.err.toStdString();

    // Ctrl+Q in the panel ends the run in order.
    desktop.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+q")});
    ASSERT_TRUE(app.process->waitForFinished(5000));
    EXPECT_EQ(app.process->exitCode(), 0);
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 退出")), 1);
}

}  // namespace
