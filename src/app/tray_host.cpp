#include "app/tray_host.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDateTime>
#include <QGuiApplication>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace TrayHost {

bool statusNotifierHostRegistered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.interface()->isServiceRegistered(watcher)) return false;
    QDBusInterface properties(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return properties.property("IsStatusNotifierHostRegistered").toBool();
}

bool xembedTrayOwned() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return false;
    xcb_connection_t* connection = x11->connection();
    // The screen number is the part after the dot in DISPLAY (":0.1"); nearly always 0.
    int screen = 0;
    const QByteArray display = qgetenv("DISPLAY");
    if (const int dot = display.lastIndexOf('.'); dot > display.lastIndexOf(':')) {
        screen = display.mid(dot + 1).toInt();
    }
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr),
        &std::free);
    if (!atom) return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                      nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

}  // namespace TrayHost

TrayHostWait::TrayHostWait(std::chrono::milliseconds limit, QObject* parent)
    : QObject(parent), m_limit(limit), m_timer(new QTimer(this)) {
    m_timer->setInterval(200);
    connect(m_timer, &QTimer::timeout, this, &TrayHostWait::check);
}

void TrayHostWait::start() {
    m_startedAt = QDateTime::currentMSecsSinceEpoch();
    check();
    if (!m_timer->isActive() && m_startedAt != 0) m_timer->start();
}

void TrayHostWait::check() {
    if (m_startedAt == 0) return;
    const bool found = TrayHost::available();
    if (found || QDateTime::currentMSecsSinceEpoch() - m_startedAt >= m_limit.count()) {
        m_timer->stop();
        m_startedAt = 0;
        Q_EMIT ready(found);
    }
}
