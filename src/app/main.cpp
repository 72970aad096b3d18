// quorvin: the tray application.

#include "app/app_delegate.h"
#include "app/panel_window.h"
#include "app/single_instance.h"
#include "app/start_refusal.h"

#include <QApplication>
#include <QDateTime>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <cstdio>
#include <cstring>

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

// For the start-up benchmark: opens the panel as soon as the app is up and prints the moment its
// first frame is on screen ("first-frame <ms since the epoch>").
void probeStartup(AppDelegate& delegate) {
    QObject::connect(&delegate, &AppDelegate::started, &delegate, [&delegate] {
        QObject::connect(delegate.panel(), &QQuickWindow::frameSwapped, &delegate, [] {
            static bool once = false;
            if (once) return;
            once = true;
            std::printf("first-frame %lld\n", QDateTime::currentMSecsSinceEpoch());
            std::fflush(stdout);
        });
        delegate.showPanel();
    });
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quorvin %s\n", QUORVIN_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: quorvin [--version]\n"
                "Starts Quorvin in the tray. Without a display, use quorvin-cli.\n");
            return 0;
        }
    }
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "quorvin: no display (DISPLAY or WAYLAND_DISPLAY is not set); "
                     "without one, use quorvin-cli get LINK\n");
        return 1;
    }
    preferX11OnWayland();
    // Qt Quick's GL renderer costs about 90 MiB here; the panel draws fine in software.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvin"));
    QApplication::setOrganizationName(QStringLiteral("Quorvin"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVIN_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.quorvin.Quorvin"));
    // The panel hides rather than closes, and a closed dialog must not end the tray app.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second copy asks the first to show its panel and ends, touching no folder and no log.
    SingleInstance instance;
    bool claimed = false;
    try {
        claimed = instance.claim();
    } catch (const SingleInstance::Unavailable& problem) {
        return refuseToStart(problem.reason);
    }
    if (!claimed) {
        instance.askRunningToShow(std::chrono::seconds(3));
        return 0;
    }

    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate, &AppDelegate::showPanel);
    QObject::connect(&delegate, &AppDelegate::finished, &app, [] { QCoreApplication::exit(0); });
    if (qEnvironmentVariableIsSet("QUORVIN_STARTUP_PROBE")) probeStartup(delegate);
    delegate.start();
    return app.exec();
}
