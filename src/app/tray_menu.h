#pragma once

#include <QMenu>

// The icon's right-click menu, built once and kept: desktops that draw the menu themselves
// (StatusNotifierItem hosts) read it when the icon appears and never ask for it on a click.
// "打开桌面" and "查看日志" open their folders here; the panel and quitting belong to others.
class TrayMenu : public QMenu {
    Q_OBJECT

public:
    explicit TrayMenu(QWidget* parent = nullptr);

Q_SIGNALS:
    // "打开下载窗口", emitted once the menu has closed, so the panel opens into a settled desktop.
    void openPanelChosen();
    // "退出" (Ctrl+Q).
    void quitChosen();
};
