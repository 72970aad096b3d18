#include "app/tray_menu.h"

#include "app/desktop_workspace.h"
#include "support/app_paths.h"

#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

TrayMenu::TrayMenu(QWidget* parent) : QMenu(parent) {
    addAction(QStringLiteral("打开下载窗口"), this,
              [this] { QTimer::singleShot(0, this, &TrayMenu::openPanelChosen); });
    addAction(QStringLiteral("打开桌面"), this,
              [] { QDesktopServices::openUrl(QUrl::fromLocalFile(AppPaths::desktop())); });
    addAction(QStringLiteral("查看日志"), this,
              [] { DesktopWorkspace().openURL(QUrl::fromLocalFile(AppPaths::appLog())); });
    addSeparator();
    addAction(QStringLiteral("Quorvin ") + QStringLiteral(QUORVIN_VERSION))->setEnabled(false);
    // No shortcut is shown: Ctrl+Q works inside the panel only, not wherever this menu is.
    addAction(QStringLiteral("退出"), this, &TrayMenu::quitChosen);
}
