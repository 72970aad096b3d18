#pragma once

#include <QObject>

#include <chrono>

class QTimer;

// Whether a tray is there to hold Quorvin's icon: a StatusNotifierItem host registered with the
// watcher on the session bus, or an XEmbed system tray owning the _NET_SYSTEM_TRAY_S<n>
// selection. Qt decides once, when the icon is created, between D-Bus and XEmbed; an app
// started from autostart before the desktop's panel is up would end up with no icon at all, so
// the icon is created only once a host is there (or the wait has run out).
namespace TrayHost {

bool statusNotifierHostRegistered();
bool xembedTrayOwned();
inline bool available() {
    return statusNotifierHostRegistered() || xembedTrayOwned();
}

}  // namespace TrayHost

// Polls for a tray host and emits ready() once, as soon as one is there or the wait is over.
class TrayHostWait : public QObject {
    Q_OBJECT

public:
    TrayHostWait(std::chrono::milliseconds limit, QObject* parent = nullptr);
    void start();

Q_SIGNALS:
    void ready(bool hostFound);

private:
    void check();

    std::chrono::milliseconds m_limit;
    qint64 m_startedAt = 0;
    QTimer* m_timer = nullptr;
};
