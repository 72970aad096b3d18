#include "app/tray_menu.h"

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
              [] { QDesktopServices::openUrl(QUrl::fromLocalFile(AppPaths::logs())); });
    addSeparator();
    addAction(QStringLiteral("Quorvin ") + QStringLiteral(QUORVIN_VERSION))->setEnabled(false);
    QAction* quit = addAction(QStringLiteral("退出"), this, &TrayMenu::quitChosen);
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
}
