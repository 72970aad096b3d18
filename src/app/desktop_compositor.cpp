#include "app/desktop_compositor.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace DesktopCompositor {

bool running() {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QStringLiteral("wayland"))) return true;
    if (platform != QStringLiteral("xcb")) return false;
    return runsOnDisplay(qgetenv("DISPLAY"));
}

bool runsOnDisplay(const QByteArray& display) {
    // A connection of its own: asked once, before the panel's window exists, and the answer
    // must not depend on which platform plugin Qt picked.
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screen), &xcb_disconnect);
    if (!connection || xcb_connection_has_error(connection.get())) return false;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection.get(),
                              xcb_intern_atom(connection.get(), 0, name.size(), name.constData()),
                              nullptr),
        &std::free);
    if (!atom) return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(
            connection.get(), xcb_get_selection_owner(connection.get(), atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

}  // namespace DesktopCompositor
