#include "app/tray_icon.h"

#include "app/tray_host.h"
#include "app/tray_menu.h"
#include "gui/logo.h"

#include <QApplication>
#include <QCursor>
#include <QPalette>
#include <QSystemTrayIcon>

#include <optional>

namespace {

// Tests put the pointer where they want it: "x,y" in QUORVIN_PANEL_ANCHOR.
std::optional<QPoint> injectedAnchor() {
    const QStringList parts = qEnvironmentVariable("QUORVIN_PANEL_ANCHOR").split(u',');
    if (parts.size() != 2) return std::nullopt;
    bool okX = false;
    bool okY = false;
    const int x = parts[0].trimmed().toInt(&okX);
    const int y = parts[1].trimmed().toInt(&okY);
    if (!okX || !okY) return std::nullopt;
    return QPoint(x, y);
}

}  // namespace

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent),
      m_menu(std::make_unique<TrayMenu>()),
      m_icon(std::make_unique<QSystemTrayIcon>()),
      // Qt talks to a StatusNotifierItem host when one is registered as the icon is made.
      m_themedIdleIcon(TrayHost::statusNotifierHostRegistered()) {
    updateIcon();
    m_icon->setToolTip(QStringLiteral("Quorvin\n单击：粘贴链接下载 · 右键：更多"));
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // An XEmbed tray reports a second click within the double-click interval as a
                // double click, not a click: it is the click that closes the panel just opened.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    Q_EMIT clicked();
            });

    // On an XEmbed tray the panel makes way for the menu before it pops up: hiding it afterwards
    // would move the activation away from the menu, which then closes at once. A
    // StatusNotifierItem host draws the menu itself (the icon has no geometry there) and asks
    // for the layout whenever it likes, even right after "打开下载窗口" was chosen: hiding the
    // panel then would undo that choice.
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        if (!m_icon->geometry().isEmpty()) Q_EMIT menuAboutToPopUp();
    });
    connect(m_menu.get(), &TrayMenu::openPanelChosen, this, &TrayIcon::openPanelChosen);
    connect(m_menu.get(), &TrayMenu::quitChosen, this, &TrayIcon::quitChosen);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::show() {
    m_icon->setContextMenu(m_menu.get());
    m_icon->show();
}

void TrayIcon::hide() {
    m_icon->hide();
}

void TrayIcon::setBusy(bool busy) {
    m_busy = busy;
    updateIcon();
}

QRect TrayIcon::panelAnchor() const {
    const QRect icon = m_icon->geometry();
    if (icon.isValid() && !icon.isEmpty()) return icon;
    return QRect(injectedAnchor().value_or(QCursor::pos()), QSize(1, 1));
}

void TrayIcon::updateIcon() {
    if (m_busy) {
        m_icon->setIcon(Logo::statusIcon(true));
    } else {
        m_icon->setIcon(m_themedIdleIcon ? Logo::themedIdleStatusIcon() : Logo::statusIcon(false));
    }
}
