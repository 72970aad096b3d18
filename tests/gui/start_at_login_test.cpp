// The panel's "登录时启动" and "完成时通知" entries, on the real QML menu: they write the autostart
// entry and the setting, and always show what is on disk.

#include "common/test_support.h"
#include "panel_harness.h"
#include "support/autostart.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTest>

namespace {

void click(PanelHarness& panel, const QString& name) {
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {}, panel.geometry(name).center().toPoint());
    panel.settle();
}

void openMenu(PanelHarness& panel) {
    click(panel, QStringLiteral("moreButton"));
    ASSERT_TRUE(panel.value("moreMenu", "visible").toBool());
}

// The object names of the menu's entries, top to bottom.
QStringList menuEntries(const PanelHarness& panel) {
    QObject* menu = panel.find(QStringLiteral("moreMenu"));
    QStringList names;
    for (int i = 0; menu && i < menu->property("count").toInt(); ++i) {
        QQuickItem* entry = nullptr;
        QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem*, entry), Q_ARG(int, i));
        names << (entry ? entry->objectName() : QString());
    }
    return names;
}

}  // namespace

TEST(StartAtLogin, TheMenuEntryAfterTheLogWritesAndRemovesTheAutostartEntry) {
    PanelHarness panel;
    openMenu(panel);
    const QStringList entries = menuEntries(panel);
    const qsizetype logs = entries.indexOf(QStringLiteral("openLogs"));
    ASSERT_GE(logs, 0) << entries.join(u' ').toStdString();
    EXPECT_EQ(entries.value(logs + 1), QStringLiteral("startAtLogin"));
    EXPECT_EQ(panel.value("startAtLogin", "text").toString(), QStringLiteral("登录时启动"));
    EXPECT_TRUE(panel.value("startAtLogin", "checkable").toBool());
    EXPECT_FALSE(panel.value("startAtLogin", "checked").toBool());

    click(panel, QStringLiteral("startAtLogin"));
    EXPECT_TRUE(Autostart::isEnabled());
    EXPECT_TRUE(panel.value("startAtLogin", "checked").toBool());
    // PATH finds no installed quorvin here, so the entry starts this very program by its path.
    QFile entry(Autostart::entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(
        "\nTryExec=" + QCoreApplication::applicationFilePath().toUtf8() + "\n"));
    entry.close();

    // Switched off in the desktop's settings while the panel lives: the menu shows it.
    QFile::remove(Autostart::entryPath());
    openMenu(panel);
    EXPECT_FALSE(panel.value("startAtLogin", "checked").toBool());
    click(panel, QStringLiteral("startAtLogin"));
    EXPECT_TRUE(Autostart::isEnabled());
    openMenu(panel);
    EXPECT_TRUE(panel.value("startAtLogin", "checked").toBool());
    click(panel, QStringLiteral("startAtLogin"));
    EXPECT_FALSE(QFile::exists(Autostart::entryPath()));
    openMenu(panel);
    EXPECT_FALSE(panel.value("startAtLogin", "checked").toBool());
}

TEST(StartAtLogin, AnEntryThatCannotBeWrittenStaysUntickedAndTheLogSaysWhy) {
    // A file where the autostart folder belongs.
    TestSupport::writeFile(TestSupport::home() + QStringLiteral("/.config/autostart"), "x");
    PanelHarness panel;
    openMenu(panel);
    click(panel, QStringLiteral("startAtLogin"));
    EXPECT_FALSE(Autostart::isEnabled());
    openMenu(panel);
    EXPECT_FALSE(panel.value("startAtLogin", "checked").toBool());
    EXPECT_TRUE(TestSupport::logLines().join(u'\n').contains(QStringLiteral("无法写入登录启动项")));
}

TEST(NotifyWhenDone, TheEntryAfterStartAtLoginIsOnByDefaultAndWritesTheSetting) {
    PanelHarness panel;
    openMenu(panel);
    const QStringList entries = menuEntries(panel);
    const qsizetype startAtLogin = entries.indexOf(QStringLiteral("startAtLogin"));
    ASSERT_GE(startAtLogin, 0) << entries.join(u' ').toStdString();
    EXPECT_EQ(entries.value(startAtLogin + 1), QStringLiteral("notifyWhenDone"));
    EXPECT_EQ(panel.value("notifyWhenDone", "text").toString(), QStringLiteral("完成时通知"));
    EXPECT_TRUE(panel.value("notifyWhenDone", "checkable").toBool());
    EXPECT_TRUE(panel.value("notifyWhenDone", "checked").toBool());

    click(panel, QStringLiteral("notifyWhenDone"));
    EXPECT_EQ(Settings::value(QStringLiteral("notifyWhenDone")), QVariant(false));
    openMenu(panel);
    EXPECT_FALSE(panel.value("notifyWhenDone", "checked").toBool());

    // Turned on again elsewhere (the setting is shared with the command line): the menu shows it.
    Settings::setNotifyWhenDone(true);
    openMenu(panel);
    EXPECT_TRUE(panel.value("notifyWhenDone", "checked").toBool());
    click(panel, QStringLiteral("notifyWhenDone"));
    EXPECT_FALSE(Settings::notifyWhenDone());
    openMenu(panel);
    click(panel, QStringLiteral("notifyWhenDone"));
    EXPECT_TRUE(Settings::notifyWhenDone());
    EXPECT_EQ(Settings::value(QStringLiteral("notifyWhenDone")), QVariant(true));
}
