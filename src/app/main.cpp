// quorvin: the tray application. main() builds the app's parts and connects them; each part says
// what it does in its own header.

#include "app/desktop_compositor.h"
#include "app/desktop_notifications.h"
#include "app/desktop_workspace.h"
#include "app/field_frame_probe.h"
#include "app/frame_log.h"
#include "app/launch_text.h"
#include "app/login_helper_client.h"
#include "app/old_certificate_offer.h"
#include "app/panel_window.h"
#include "app/quit_sequence.h"
#include "app/single_instance.h"
#include "app/start_refusal.h"
#include "app/start_up.h"
#include "app/system_clipboard.h"
#include "app/tray_icon.h"
#include "core/link_handoff.h"
#include "gui/logo.h"
#include "gui/panel_view.h"
#include "gui/paste_field.h"
#include "manager/download_manager.h"
#include "manager/item_journal.h"
#include "manager/partial_expiry.h"
#include "support/names.h"
#include "support/partial_store.h"
#include "support/startup_trace.h"
#include "support/termination_signals.h"

#include <QApplication>
#include <QDateTime>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Where a Wayland compositor runs XWayland, the panel goes through X11: Wayland lets no
// window place itself beside the tray or take the keyboard from a tray click.
void preferX11OnWayland() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;  // the user chose
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

DesktopServices desktopServices() {
    DesktopServices services;
    services.clipboard = std::make_shared<SystemClipboard>();
    services.workspace = std::make_shared<DesktopWorkspace>();
    services.makeLoginWindow = []() -> std::shared_ptr<LoginWindow> {
        return std::make_shared<LoginHelperClient>();
    };
    return services;
}

// For the start-up benchmark: prints the moment the panel's first frame is on screen
// ("first-frame <ms since the epoch>").
void printFirstFrame(PanelWindow& panel) {
    QObject::connect(&panel, &QQuickWindow::frameSwapped, &panel, [] {
        static bool once = false;
        if (once) return;
        once = true;
        StartupTrace::mark("first frame");
        std::printf("first-frame %lld\n", QDateTime::currentMSecsSinceEpoch());
        std::fflush(stdout);
    });
}

}  // namespace

int main(int argc, char** argv) {
    StartupTrace::mark("main entered (libraries loaded)");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quorvin %s\n", QUORVIN_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: quorvin [--version] [LINK…]\n"
                "Starts Quorvin in the tray. Links given as arguments, or a share text piped\n"
                "into it, are downloaded (by the copy already running, if there is one).\n"
                "Without a display, use quorvin-cli.\n");
            return 0;
        }
    }
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "quorvin: no display (DISPLAY or WAYLAND_DISPLAY is not set); "
                     "without one, use quorvin-cli get LINK\n");
        return 1;
    }
    // Links from outside are checked before anything starts: a refused input changes nothing.
    const QByteArray handed = LaunchText::read(argc, argv);
    QList<QUrl> links;
    if (!handed.isEmpty()) {
        auto checked = LinkHandoff::links(handed);
        if (const auto* refusal = std::get_if<QString>(&checked)) {
            std::fprintf(stderr, "quorvin: %s\n", qUtf8Printable(*refusal));
            return 2;
        }
        links = std::get<QList<QUrl>>(checked);
    }
    preferX11OnWayland();
    // Qt Quick's GL renderer costs about 90 MiB here; the panel draws fine in software.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

    QApplication app(argc, argv);
    QApplication::setApplicationName(Names::app());
    QApplication::setOrganizationName(Names::app());
    QApplication::setApplicationVersion(QStringLiteral(QUORVIN_VERSION));
    QApplication::setDesktopFileName(Names::desktopId());
    // The panel hides rather than closes, and a closed dialog must not end the tray app.
    QApplication::setQuitOnLastWindowClosed(false);
    StartupTrace::mark("QApplication");

    // A second copy asks the first to show its panel and ends, touching no folder and no log.
    SingleInstance instance;
    bool claimed = false;
    try {
        claimed = instance.claim();
    } catch (const SingleInstance::Unavailable& problem) {
        return refuseToStart(problem.reason);
    }
    if (!claimed) {
        if (links.isEmpty()) {
            instance.askRunningToShow(std::chrono::seconds(3));
            return 0;
        }
        const QString refusal = instance.handLinksToRunning(handed, std::chrono::seconds(3));
        if (refusal.isEmpty()) return 0;
        std::fprintf(stderr, "quorvin: %s\n", qUtf8Printable(refusal));
        return 1;
    }

    StartupTrace::mark("single instance claimed");

    // The download list lives for the whole run; the icon, the panel and the handlers of
    // termination signals come once a tray host is there.
    DownloadManager manager(desktopServices(), YtDlp::Settings{});
    // Downloads work in folders kept across runs, so an interrupted one can continue.
    manager.keepPartialData(PartialStore::root());
    // The list of the last run comes back before the panel first shows it.
    ItemJournal journal(manager);
    journal.restore();
    PasteField field(manager);
    QuitSequence quit(manager);
    StartUp startUp;
    std::unique_ptr<TrayIcon> tray;
    std::unique_ptr<PanelWindow> panel;
    std::unique_ptr<TerminationSignals> termination;
    bool started = false;
    bool showWhenStarted = false;
    StartupTrace::mark("download manager");

    const auto showPanel = [&] {
        if (quit.hasBegun()) return;
        if (!started) {
            // A second launch or the first-run timer may ask before the tray is up.
            showWhenStarted = true;
            return;
        }
        field.prepareForShow();
        panel->present(tray->panelAnchor());
        panel->afterNextFrame([&] { manager.tools().refresh(); });
    };
    const auto togglePanel = [&] {
        if (panel->isVisible()) {
            panel->hide();
        } else if (!panel->justHidByDeactivation()) {
            showPanel();
        }
    };
    // Links from outside are downloaded, and the panel shows them.
    const auto downloadLinks = [&](const QList<QUrl>& handedLinks) {
        if (quit.hasBegun()) return;
        for (const QUrl& link : handedLinks) manager.submit(link, Platform::detect(link));
        showPanel();
    };
    const auto offerCertificateRemoval = [&](bool fromMenu) {
        if (!quit.hasBegun()) OldCertificateOffer::run(fromMenu);
    };

    QObject::connect(&startUp, &StartUp::trayReady, &startUp, [&] {
        tray = std::make_unique<TrayIcon>();
        StartupTrace::mark("tray host found");
        panel = std::make_unique<PanelWindow>(DesktopCompositor::running());
        StartupTrace::mark("panel window, QML engine");
        panel->setIcon(Logo::appIcon());
        FrameLog::attachIfAsked(*panel);
        QObject::connect(panel.get(), &PanelWindow::quitRequested, &quit, &QuitSequence::run);
        PanelCallbacks callbacks;
        callbacks.onQuit = [&] { quit.run(); };
        callbacks.onRemoveOldCert = [&] {
            panel->hide();
            offerCertificateRemoval(true);
        };
        callbacks.onHeightChange = [&](double height) { panel->setPanelHeight(height); };
        callbacks.translucent = panel->isTranslucent();
        loadPanel(*panel, manager, field, std::move(callbacks));
        FieldFrameProbe::watch(*panel, field);
        StartupTrace::mark("panel component");

        QObject::connect(&manager, &DownloadManager::activeChanged, tray.get(), &TrayIcon::setBusy);
        QObject::connect(&manager, &DownloadManager::showRequested, panel.get(), showPanel);

        DesktopNotifications::Hooks notificationHooks;
        notificationHooks.panelVisible = [&] { return panel && panel->isVisible(); };
        notificationHooks.showItem = [&](const QUuid&) { showPanel(); };
        notificationHooks.workspace = manager.services().workspace;
        new DesktopNotifications(manager, std::move(notificationHooks), panel.get());

        QObject::connect(tray.get(), &TrayIcon::clicked, panel.get(), togglePanel);
        QObject::connect(tray.get(), &TrayIcon::menuAboutToPopUp, panel.get(), &QWindow::hide);
        QObject::connect(tray.get(), &TrayIcon::openPanelChosen, panel.get(), showPanel);
        QObject::connect(tray.get(), &TrayIcon::quitChosen, &quit, &QuitSequence::run);
        tray->show();
        StartupTrace::mark("tray icon shown");

        termination = std::make_unique<TerminationSignals>();
        QObject::connect(termination.get(), &TerminationSignals::received, &quit,
                         &QuitSequence::run);
    });
    QObject::connect(&startUp, &StartUp::started, &startUp, [&] {
        started = true;
        // Once the list is back: kept data too old or too much goes, and its items say so.
        removeExpiredPartialData(&manager, PartialStore::root());
        if (qEnvironmentVariableIsSet("QUORVIN_STARTUP_PROBE")) {
            printFirstFrame(*panel);
            showWhenStarted = true;
        }
        if (showWhenStarted) showPanel();
        StartupTrace::mark("panel shown");
        if (!links.isEmpty()) downloadLinks(links);
        // What the first frame need not wait for: the leftovers and the tools' versions.
        panel->afterNextFrame([&] {
            startUp.clearLeftovers();
            manager.refreshStatus();
            StartupTrace::mark("leftovers and tools lookup started");
        });
    });
    QObject::connect(&startUp, &StartUp::firstRunDue, &startUp, showPanel);
    QObject::connect(&startUp, &StartUp::oldCertificatePromptDue, &startUp,
                     [&] { offerCertificateRemoval(false); });
    QObject::connect(&instance, &SingleInstance::showRequested, &startUp, showPanel);
    QObject::connect(&instance, &SingleInstance::linksReceived, &startUp, downloadLinks);

    QObject::connect(&quit, &QuitSequence::windowsGone, &quit, [&] {
        if (panel) panel->hide();
        if (tray) tray->hide();
    });
    QObject::connect(&quit, &QuitSequence::finished, &app, [&journal] {
        journal.flush();  // the downloads have ended: their last phases go to disk
        QCoreApplication::exit(0);
    });

    startUp.run();
    return app.exec();
}
