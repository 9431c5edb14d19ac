#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/qt/tray_host.h"

namespace tavix {
namespace {

bool statusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

bool xembedTrayPresent() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return false;
    xcb_connection_t* connection = x11->connection();
    const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
    for (int screen = 0; screen < screens; ++screen) {
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
        auto atomCookie = xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.constData());
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, atomCookie, nullptr);
        if (atom == nullptr) continue;
        const xcb_atom_t selection = atom->atom;
        std::free(atom);
        if (selection == XCB_NONE) continue;
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
        const bool owned = owner != nullptr && owner->owner != XCB_NONE;
        std::free(owner);
        if (owned) return true;
    }
    return false;
}

}  // namespace

bool trayHostPresent() { return statusNotifierHostPresent() || xembedTrayPresent(); }

}  // namespace tavix
