#pragma once

#include "manager/desktop_services.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QProcess;

// The app's side of the Yuanbao login: the login window is the quorvin-login helper (a web view
// in its own process), so this client starts that process and watches the cookie jar the helper
// writes until a new "hy_token" value shows up. Then it reports success and asks the helper to
// close. The helper closing, or ending in any other way, reports failure, and so does a login
// the helper cannot save (it says "save-failed <message>" on its output): that message goes to
// the log, and the window shows it a moment before it closes. onFinish is called
// exactly once; the object is single-use.
//
// States: idle → opening (reading the login that exists now) → open (helper running, polling
// every 1.5 s) → finished. show() in the open state only brings the window forward.
class LoginHelperClient : public QObject, public LoginWindow {
    Q_OBJECT

public:
    explicit LoginHelperClient(QObject* parent = nullptr);
    ~LoginHelperClient() override;  // closes a window that is still open

    void show() override;

    // The helper program: QUORVIN_LOGIN_PROGRAM, else quorvin-login beside this program, else
    // in the build tree's login folder, else on the PATH. Empty when none is found.
    static QString helperProgram();

private:
    void open();
    void check();
    void finish(bool ok);
    void helperEnded();
    void readHelper();
    void closeWindow();

    QProcess* m_window = nullptr;
    QTimer m_timer;
    std::optional<QString> m_initialToken;
    bool m_opening = false;
    bool m_loginSeen = false;   // a new login was found; the report follows shortly
    bool m_saveFailed = false;  // the helper cannot save the login; the report follows shortly
    bool m_finished = false;
};
