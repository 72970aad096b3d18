#include "login/login_page.h"

LoginPage::LoginPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {}

void LoginPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                         const QString&) {
    if (message == QLatin1String(kPaintedMarker)) Q_EMIT firstFramePainted();
}
