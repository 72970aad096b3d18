#pragma once

#include <QObject>
#include <QRect>

#include <memory>

class QSystemTrayIcon;
class TrayMenu;

// Quorvin's icon in the tray: the drawn glyph (idle or busy), the two-line tooltip and the
// right-click menu. Made once a tray host is there (TrayHostWait), shown by show().
//
// No tray tells an icon what colour it sits on, and panels are dark as often as light. A
// StatusNotifierItem host recolours an icon it is given by theme name, so it gets the installed
// "-symbolic" glyph; an XEmbed tray paints the pixels it gets, so it gets the drawn glyph that
// carries its own contrast. The busy glyph is always rose.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Sets the menu, then shows the icon: SNI hosts read the menu when the icon appears.
    void show();
    void hide();

    // Whether a download runs: the glyph turns rose.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }

    // Where the panel hangs: the icon's rectangle on an XEmbed tray; a StatusNotifierItem host
    // keeps it to itself, and then the pointer (which just clicked the icon) stands in.
    QRect panelAnchor() const;

    QSystemTrayIcon* icon() const { return m_icon.get(); }
    TrayMenu* menu() const { return m_menu.get(); }

Q_SIGNALS:
    // A left click on the icon (or Activate from an SNI host).
    void clicked();
    // Our own menu is about to pop up at the icon (XEmbed): the panel makes way first.
    void menuAboutToPopUp();
    void openPanelChosen();
    void quitChosen();

private:
    void updateIcon();

    // The menu outlives the icon it is set on.
    std::unique_ptr<TrayMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    bool m_busy = false;
    bool m_themedIdleIcon = false;
};
