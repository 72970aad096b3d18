// quorvin: the tray application.

#include "app/app_delegate.h"
#include "app/launch_text.h"
#include "app/panel_window.h"
#include "app/single_instance.h"
#include "core/link_handoff.h"

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
    QApplication::setApplicationName(QStringLiteral("Quorvin"));
    QApplication::setOrganizationName(QStringLiteral("Quorvin"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVIN_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.quorvin.Quorvin"));
    // The panel hides rather than closes, and a closed dialog must not end the tray app.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second copy asks the first to show its panel and ends, touching no folder and no log.
    SingleInstance instance;
    if (!instance.claim()) {
        if (links.isEmpty()) {
            instance.askRunningToShow(std::chrono::seconds(3));
            return 0;
        }
        const QString refusal = instance.handLinksToRunning(handed, std::chrono::seconds(3));
        if (refusal.isEmpty()) return 0;
        std::fprintf(stderr, "quorvin: %s\n", qUtf8Printable(refusal));
        return 1;
    }

    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate, &AppDelegate::showPanel);
    QObject::connect(&instance, &SingleInstance::linksReceived, &delegate,
                     &AppDelegate::downloadLinks);
    if (!links.isEmpty()) {
        QObject::connect(&delegate, &AppDelegate::started, &delegate,
                         [&delegate, links] { delegate.downloadLinks(links); });
    }
    QObject::connect(&delegate, &AppDelegate::finished, &app, [] { QCoreApplication::exit(0); });
    if (qEnvironmentVariableIsSet("QUORVIN_STARTUP_PROBE")) probeStartup(delegate);
    delegate.start();
    return app.exec();
}
