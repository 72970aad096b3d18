#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <memory>

class DownloadManager;
class PanelWindow;
class QMenu;
class QSystemTrayIcon;
class TerminationSignals;

// The application object of the tray app: it owns the download manager for the whole run, puts
// the icon in the tray, hangs the panel under it, switches the icon between idle and busy,
// offers to remove the previous edition's certificate, and ends the run in order on quit or a
// termination signal. The single-instance check comes before it (main.cpp).
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // How long to wait for a tray to appear before creating the icon anyway.
    static constexpr std::chrono::milliseconds kTrayWait{15000};

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence after the single-instance check. The tray icon and everything after
    // it come once a tray host is there (or the wait is over).
    void start(std::chrono::milliseconds trayWait = kTrayWait);

    // Brings the panel forward with the clipboard's link in its field.
    void showPanel();
    // A left click on the icon.
    void togglePanel();
    // Starts downloading links handed over from outside and shows them in the panel.
    void downloadLinks(const QList<QUrl>& links);
    // Cancels every running download, logs the end, and emits finished() once the downloads'
    // tools have ended (or after a short grace).
    void quit();
    void offerOldCertificateRemoval(bool fromMenu);

    DownloadManager& manager() { return *m_manager; }
    PanelWindow* panel() const { return m_panel; }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    QMenu* menu() const { return m_menu.get(); }
    bool isBusy() const { return m_busy; }

Q_SIGNALS:
    // The tray and panel are in place (the start-up sequence has run to its end).
    void started();
    // Quit has run; the process may end now.
    void finished();

private:
    void finishStart();
    void setBusy(bool busy);
    void updateIcon();
    QRect panelAnchor() const;
    void buildMenu();

    std::unique_ptr<DownloadManager> m_manager;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_trayIcon = nullptr;
    PanelWindow* m_panel = nullptr;
    TerminationSignals* m_signals = nullptr;
    bool m_busy = false;
    bool m_themedIdleIcon = false;
    bool m_started = false;
    bool m_showWhenStarted = false;
    bool m_quitting = false;
};
