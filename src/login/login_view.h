#pragma once

#include <QTimer>
#include <QWidget>

class CookieMirror;
class LoginPage;
class QWebEngineProfile;
class QLabel;
class QWebEngineView;

// The login window: a short help text above the Yuanbao home page, where the user scans the QR
// code with the WeChat phone app. The page runs in a profile that keeps nothing on disk; its
// cookie store is mirrored to and from our cookie jar (CookieMirror).
class LoginView : public QWidget {
    Q_OBJECT

public:
    explicit LoginView(QWidget* parent = nullptr);
    ~LoginView() override;

    // Shows the window centred on the screen the user works on, raised and activated, and
    // starts loading the page.
    void present();
    // Brings the open window to the front (a second request to log in).
    void bringForward();

Q_SIGNALS:
    // The login cannot be kept; the window shows `message` in place of its help text.
    void saveFailed(const QString& message);

private:
    void load();
    void showProblem(const QString& message);

    QWebEngineProfile* m_profile = nullptr;
    CookieMirror* m_mirror = nullptr;
    LoginPage* m_page = nullptr;
    QWebEngineView* m_view = nullptr;
    QLabel* m_help = nullptr;
    QTimer m_loadTimeout;
};
