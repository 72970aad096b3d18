#pragma once

#include <QWebEnginePage>

// The Yuanbao page inside the login window. The service's own scripts log freely; their console
// lines would only fill the app's error output, so they are dropped. While tracing start-up, a
// marker line from the page tells that its first frame has been drawn.
class LoginPage : public QWebEnginePage {
    Q_OBJECT

public:
    LoginPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // Sent once, when the first frame after the first load has been drawn (tracing only).
    static constexpr char kPaintedMarker[] = "quorvin-login:first-frame";

Q_SIGNALS:
    void firstFramePainted();

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;
};
