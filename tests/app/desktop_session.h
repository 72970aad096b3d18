#pragma once

#include "common/test_support.h"

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

// A private desktop for one test: Xvfb on a display of its own, openbox, a session bus
// of its own and, when asked, a tray host: trayer (XEmbed, at the top right of the screen) or
// the status-notifier watcher plus a registered host (StatusNotifierItem over D-Bus). Programs
// started through it see only this desktop. Everything it started ends with it.
class DesktopSession {
public:
    enum class Tray { none, xembed, statusNotifier };

    explicit DesktopSession(Tray tray);
    ~DesktopSession();

    // Empty when the desktop is up; otherwise what failed.
    QString problem() const { return m_problem; }
    QProcessEnvironment environment() const { return m_environment; }
    QString busAddress() const { return m_busAddress; }

    // Starts trayer at the top right of the screen (done by the constructor for Tray::xembed).
    void startXEmbedTray();
    // Starts the watcher and a registered host (done by the constructor for Tray::statusNotifier).
    void startStatusNotifierHost();
    // Starts the tray app with this desktop's environment (plus `extra`, "NAME=value").
    QProcess* startApp(const QStringList& extra = {});
    // Starts dbus-monitor on this desktop's session bus with a match rule; its output is read
    // from the process.
    QProcess* monitorBus(const QString& rule);
    // Sends one request to the running app over its single-instance socket, as a second launch
    // does, and returns the app's one-line answer ("not connected" when no app listens).
    QByteArray ask(const QByteArray& request,
                   std::chrono::milliseconds patience = std::chrono::seconds(5)) const;
    // Runs a program (xdotool, xprop, gdbus…) against this desktop.
    TestSupport::ProcessResult run(const QString& program, const QStringList& arguments) const;

    // Visible top-level windows titled exactly `title`.
    QStringList visibleWindows(const QString& title) const;
    // The app's panel windows on screen (440 wide; the tray icon's window shares the title).
    QStringList panels() const;
    // Clicks the app's icon in trayer, as a person opens the panel, until the panel shows (a
    // click that lands before the icon is embedded is lost); false when it never did.
    bool openPanelFromTray() const;
    // Every window whose class or instance name is `name`, visible or not.
    QStringList windowsOfClass(const QString& name) const;
    QRect geometry(const QString& window) const;
    // The window the window manager has made active (empty when none).
    QString activeWindow() const;
    // Writes the whole screen as a PNG.
    bool screenshot(const QString& path) const;

private:
    // The program's error output goes to `errorFile`, or nowhere.
    QProcess* spawn(const QString& program, const QStringList& arguments,
                    const QString& errorFile = QString());
    bool windowManagerRuns();
    QByteArray firstLine(QProcess* process);

    std::vector<std::unique_ptr<QProcess>> m_processes;
    QProcessEnvironment m_environment;
    QString m_busAddress;
    QString m_problem;
};

// The lines of the app's log that contain `text`.
int logLinesContaining(const QString& text);

// The centre of the filled primary remedy button in `region` of a screenshot (the largest area
// of one saturated colour, along its longest unbroken run), whatever the palette's accent is.
std::optional<QPoint> solidAccentCentre(const QImage& screen, const QRect& region);

// Waits until the panel's first remedy button below its paste row stands still on screen (the
// failure box animates in) and returns its centre; `shot` is where the screen is written.
std::optional<QPoint> settledRemedy(const DesktopSession& desktop, const QString& panel,
                                    const QString& shot);
