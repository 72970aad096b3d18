// quorvin-login: the Yuanbao login window, a program of its own so the tray app never loads
// Qt WebEngine. The app starts it when a login is needed, watches the cookie jar for the new
// login, and talks to it through its standard input (ControlChannel).

#include "login/control_channel.h"
#include "login/login_trace.h"
#include "login/login_view.h"
#include "support/names.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>

#include <unistd.h>

int main(int argc, char** argv) {
    LoginTrace::mark("start");
    // Chromium's sandbox refuses to start as root. Only this helper, and only then, runs
    // without it; everyone else keeps it.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setApplicationName(Names::app());
    QCoreApplication::setOrganizationName(Names::app());
    // WebEngine prints its whole GL set-up at start; the app's error output is no place for it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QApplication app(argc, argv);
    // Grouped with the app's own windows, under its icon.
    QGuiApplication::setDesktopFileName(Names::desktopId());
    QApplication::setWindowIcon(QIcon::fromTheme(Names::desktopId()));

    LoginView view;
    ControlChannel control;
    QObject::connect(&control, &ControlChannel::raiseRequested, &view, &LoginView::bringForward);
    QObject::connect(&control, &ControlChannel::closeRequested, &view, &QWidget::close);
    QObject::connect(&view, &LoginView::saveFailed, &control, &ControlChannel::reportSaveFailed);
    view.present();
    return app.exec();
}
