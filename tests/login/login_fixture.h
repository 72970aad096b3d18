#pragma once

#include "common/http_test_server.h"

#include <QList>
#include <QProcess>
#include <QString>

#include <memory>

// What the login tests share: an X display of their own, the real quorvin-login helper, and
// the loopback server playing the Yuanbao site (the origins point at it before main()).
namespace LoginTest {

HttpTestServer& server();

// Xvfb on a display of its own with openbox, so windows are
// placed, raised, activated and closed as on a desktop. Sets DISPLAY for this process and the
// programs it starts; both servers end with the object.
class XSession {
public:
    XSession();
    ~XSession();
    bool ready() const { return m_ready; }

private:
    QProcess m_xvfb;
    QProcess m_windowManager;
    bool m_ready = false;
};

// The title of the login window.
QString windowTitle();
// The X windows showing that title.
QStringList loginWindows();
// The id of the one login window, once it shows (empty after the time-out).
QString waitForLoginWindow(int seconds = 8);
// The process id behind an X window.
qint64 windowPid(const QString& window);
// Closes the window as its close button does (through the window manager).
void closeByHand(const QString& window);
// Clicks the page's "登录" button (it covers the page below the help text) until the page
// answers; false when it never did.
[[nodiscard]] bool clickLogin(const QString& window);
// Running processes below `pid` (children, grandchildren, …).
QList<qint64> descendants(qint64 pid);
bool isRunning(qint64 pid);

// The Yuanbao site as the login needs it, besides the Channels services (for a video of
// `videoBytes`): "/" is the home page, one big "登录" button. It sends the user to a QR page on
// another site ("localhost", which sets a cookie of its own), which after a short delay comes
// back to "/callback"; that reply sets a new HttpOnly "hy_token" and returns to "/". The page
// fetches "/ready" once it has loaded.
void serveYuanbao(const QByteArray& videoBytes = {});
// How many "/ready" requests and logins (tokens handed out) the site has seen.
int pagesReady();
int tokensIssued();
// The "hy_token" cookie the last "/" request carried (empty when none).
QByteArray homeTokenSent();

}  // namespace LoginTest
