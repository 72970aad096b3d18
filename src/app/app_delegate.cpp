#include "app/app_delegate.h"

#include "app/certificate_prompt.h"
#include "app/desktop_notifications.h"
#include "app/desktop_workspace.h"
#include "app/panel_window.h"
#include "app/system_clipboard.h"
#include "app/tray_host.h"
#include "gui/logo.h"
#include "gui/panel_view.h"
#include "legacy/legacy.h"
#include "manager/download_manager.h"
#include "manager/yuanbao_login_window.h"
#include "sites/process_group.h"
#include "support/app_paths.h"
#include "support/log.h"
#include "support/settings.h"
#include "support/temp_files.h"
#include "support/termination_signals.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

namespace {

const QString kVersion = QStringLiteral(QUORVIN_VERSION);
constexpr auto kFirstRunDelay = std::chrono::milliseconds(500);
constexpr auto kCertificateDelay = std::chrono::milliseconds(1200);
// How long quit waits for the downloads' tools to end after asking them to.
constexpr qint64 kQuitGraceMs = 3000;

DesktopServices desktopServices() {
    DesktopServices services;
    services.clipboard = std::make_shared<SystemClipboard>();
    services.workspace = std::make_shared<DesktopWorkspace>();
    services.makeLoginWindow = []() -> std::shared_ptr<LoginWindow> {
        return std::make_shared<YuanbaoLoginWindow>();
    };
    return services;
}

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

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_manager(std::make_unique<DownloadManager>(desktopServices())) {}

AppDelegate::~AppDelegate() {
    delete m_trayIcon;
    delete m_panel;
}

void AppDelegate::start(std::chrono::milliseconds trayWait) {
    Legacy::migrateLogs();
    AppPaths::ensureDirectories();
    Log::write(QStringLiteral("App 启动（") +
               (kVersion.isEmpty() ? QStringLiteral("?") : kVersion) + QStringLiteral("）"));
    Legacy::cleanUpSilently();
    // What a killed run of ours left in the temporary folder or half-copied onto the Desktop.
    TempFiles::removeLeftovers();
    // There is no global main menu on Linux: its keys live in the panel window (Ctrl+Q, Ctrl+H,
    // Escape) and in the paste field (undo, cut, copy, paste, select all).

    auto* wait = new TrayHostWait(trayWait, this);
    connect(wait, &TrayHostWait::ready, this, [this, wait] {
        wait->deleteLater();
        finishStart();
    });
    wait->start();
}

void AppDelegate::finishStart() {
    // The status item: the idle glyph and the two-line tooltip. It is shown once its menu is set.
    m_trayIcon = new QSystemTrayIcon();
    // Qt talks to a StatusNotifierItem host when one is registered as the icon is made.
    m_themedIdleIcon = TrayHost::statusNotifierHostRegistered();
    updateIcon();
    m_trayIcon->setToolTip(QStringLiteral("Quorvin\n单击：粘贴链接下载 · 右键：更多"));
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) togglePanel();
            });

    // The panel.
    m_panel = new PanelWindow();
    m_panel->setIcon(Logo::appIcon());
    connect(m_panel, &PanelWindow::quitRequested, this, &AppDelegate::quit);
    QPointer<AppDelegate> self(this);
    PanelCallbacks callbacks;
    callbacks.onQuit = [self] {
        if (self) self->quit();
    };
    callbacks.onRemoveOldCert = [self] {
        if (!self) return;
        self->m_panel->hide();
        self->offerOldCertificateRemoval(true);
    };
    callbacks.onHeightChange = [self](double height) {
        if (self && self->m_panel) self->m_panel->setPanelHeight(height);
    };
    loadPanel(*m_panel, *m_manager, std::move(callbacks));

    // The manager's callbacks.
    m_manager->onActiveChange = [self](bool busy) {
        if (self) self->setBusy(busy);
    };
    m_manager->requestShow = [self] {
        if (self) self->showPanel();
    };

    m_manager->refreshStatus();

    DesktopNotifications::Hooks notificationHooks;
    notificationHooks.panelVisible = [self] { return self && self->m_panel->isVisible(); };
    notificationHooks.showItem = [self](const QUuid&) {
        if (self) self->showPanel();
    };
    notificationHooks.workspace = m_manager->services().workspace;
    new DesktopNotifications(*m_manager, std::move(notificationHooks), this);

    // The right-click menu, set once and kept: desktops that draw the menu themselves (SNI)
    // read it when the icon appears, and never ask for it on a click.
    buildMenu();
    m_trayIcon->setContextMenu(m_menu.get());
    m_trayIcon->show();

    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::received, this, &AppDelegate::quit);

    if (!Settings::welcomed2()) {
        Settings::setWelcomed2(true);
        QTimer::singleShot(kFirstRunDelay, this, &AppDelegate::showPanel);
    }
    if (Legacy::hasOldCertificate() && !Settings::skipOldCertPrompt()) {
        QTimer::singleShot(kCertificateDelay, this, [this] { offerOldCertificateRemoval(false); });
    }
    m_started = true;
    Q_EMIT started();
    if (m_showWhenStarted) showPanel();
}

void AppDelegate::buildMenu() {
    m_menu = std::make_unique<QMenu>();
    // On an XEmbed tray the panel makes way for the menu before it pops up: hiding it afterwards
    // would move the activation away from the menu, which then closes at once. A
    // StatusNotifierItem host draws the menu itself (the icon has no geometry there) and asks
    // for the layout whenever it likes, even right after "打开下载窗口" was chosen: hiding the
    // panel then would undo that choice.
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        const bool menuIsOurs = m_trayIcon && !m_trayIcon->geometry().isEmpty();
        if (m_panel && menuIsOurs) m_panel->hide();
    });
    // Menu actions run after the menu has closed, so the panel opens into a settled desktop.
    m_menu->addAction(QStringLiteral("打开下载窗口"), this,
                      [this] { QTimer::singleShot(0, this, &AppDelegate::showPanel); });
    m_menu->addAction(QStringLiteral("打开桌面"), this,
                      [] { QDesktopServices::openUrl(QUrl::fromLocalFile(AppPaths::desktop())); });
    m_menu->addAction(QStringLiteral("查看日志"), this,
                      [] { QDesktopServices::openUrl(QUrl::fromLocalFile(AppPaths::logs())); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quorvin ") + kVersion)->setEnabled(false);
    QAction* quitAction = m_menu->addAction(QStringLiteral("退出"), this, &AppDelegate::quit);
    quitAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
}

QRect AppDelegate::panelAnchor() const {
    // The icon's rectangle is known on XEmbed trays; StatusNotifierItem hosts keep it to
    // themselves, and then the pointer (which just clicked the icon) stands in.
    const QRect icon = m_trayIcon ? m_trayIcon->geometry() : QRect();
    if (icon.isValid() && !icon.isEmpty()) return icon;
    return QRect(injectedAnchor().value_or(QCursor::pos()), QSize(1, 1));
}

void AppDelegate::showPanel() {
    if (m_quitting) return;
    if (!m_started) {
        // A second launch or the first-run timer may ask before the tray is up.
        m_showWhenStarted = true;
        return;
    }
    m_manager->prepareForShow();
    if (m_panel->isVisible()) {
        m_panel->raise();
        m_panel->requestActivate();
        return;
    }
    m_panel->showAt(panelAnchor());
}

void AppDelegate::downloadLinks(const QList<QUrl>& links) {
    if (m_quitting) return;
    // The field keeps what the user was typing.
    const QString typed = m_manager->input();
    for (const QUrl& link : links) {
        m_manager->setInput(DownloadManager::absoluteString(link));
        m_manager->submit();
    }
    m_manager->setInput(typed);
    showPanel();
}

void AppDelegate::togglePanel() {
    if (!m_panel) return;
    if (m_panel->isVisible()) {
        m_panel->hide();
    } else if (!m_panel->justHidByDeactivation()) {
        showPanel();
    }
}

void AppDelegate::setBusy(bool busy) {
    m_busy = busy;
    updateIcon();
}

void AppDelegate::updateIcon() {
    if (!m_trayIcon) return;
    if (m_busy) {
        m_trayIcon->setIcon(Logo::statusIcon(true));
    } else {
        // A StatusNotifierItem host recolours an icon it is given by theme name; an XEmbed tray
        // paints the pixels it gets, so it gets the glyph that carries its own contrast.
        m_trayIcon->setIcon(m_themedIdleIcon ? Logo::themedIdleStatusIcon()
                                             : Logo::statusIcon(false));
    }
}

void AppDelegate::quit() {
    if (m_quitting) return;
    m_quitting = true;
    const auto items = m_manager->items();
    for (const auto& item : items) {
        if (item->isActive()) m_manager->cancel(item);
    }
    Log::write(QStringLiteral("App 退出"));
    if (m_panel) m_panel->hide();
    if (m_trayIcon) m_trayIcon->hide();
    // The cancelled downloads stop their tools and remove their working folders as the event
    // loop runs; give them a moment so nothing of ours outlives the app.
    auto* clock = new QElapsedTimer();
    clock->start();
    auto* poll = new QTimer(this);
    poll->setInterval(20);
    connect(poll, &QTimer::timeout, this, [this, poll, clock] {
        if (m_manager->hasActive() && clock->elapsed() < kQuitGraceMs) return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        // Whatever tool group is still alive (one that ignored the cancel) ends with us.
        ProcessGroup::endAll();
        Q_EMIT finished();
    });
    poll->start();
}

void AppDelegate::offerOldCertificateRemoval(bool fromMenu) {
    if (!Legacy::hasOldCertificate() || m_quitting) return;
    const CertificatePrompt::Answer answer = CertificatePrompt::ask(fromMenu);
    if (answer.suppress) Settings::setSkipOldCertPrompt(true);
    if (answer.remove) Legacy::removeOldCertificate();
}
