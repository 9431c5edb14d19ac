#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/qt/tray_host.h"

namespace tavix {
namespace {

constexpr int kSettleMs = 1000;

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name, bool onlyIfExists) {
    auto cookie =
        xcb_intern_atom(connection, onlyIfExists ? 1 : 0, static_cast<uint16_t>(name.size()), name.constData());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t value = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return value;
}

// The window of the XEmbed tray manager of any screen, or none.
xcb_window_t xembedTrayOwner(xcb_connection_t* connection) {
    const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
    for (int screen = 0; screen < screens; ++screen) {
        const xcb_atom_t selection = atom(connection, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen), true);
        if (selection == XCB_NONE) continue;
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
        const xcb_window_t window = owner != nullptr ? owner->owner : XCB_NONE;
        std::free(owner);
        if (window != XCB_NONE) return window;
    }
    return XCB_NONE;
}

}  // namespace

bool xembedTrayPresent() {
    xcb_connection_t* connection = x11Connection();
    return connection != nullptr && xembedTrayOwner(connection) != XCB_NONE;
}

std::optional<QColor> trayForeground() {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) return std::nullopt;
    const xcb_window_t owner = xembedTrayOwner(connection);
    const xcb_atom_t colors = atom(connection, "_NET_SYSTEM_TRAY_COLORS", true);
    if (owner == XCB_NONE || colors == XCB_NONE) return std::nullopt;
    // Twelve cardinals: red, green and blue of the normal, error, warning and success colours, 0 to 65535 each.
    auto cookie = xcb_get_property(connection, 0, owner, colors, XCB_ATOM_CARDINAL, 0, 12);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    std::optional<QColor> foreground;
    if (reply != nullptr && reply->format == 32 && xcb_get_property_value_length(reply) >= 12) {
        const auto* rgb = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        foreground = QColor::fromRgba64(static_cast<quint16>(rgb[0]), static_cast<quint16>(rgb[1]),
                                        static_cast<quint16>(rgb[2]));
    }
    std::free(reply);
    return foreground;
}

TrayColourWatch::TrayColourWatch(std::function<void()> changed) : changed_(std::move(changed)) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) return;
    colours_ = atom(connection, "_NET_SYSTEM_TRAY_COLORS", false);
    manager_ = atom(connection, "MANAGER", false);
    followSoon();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TrayColourWatch::~TrayColourWatch() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeNativeEventFilter(this);
}

void TrayColourWatch::followSoon() {
    // Qt sets its own event mask on the tray's window once it has docked there, which replaces ours: come after it.
    QTimer::singleShot(kSettleMs, &context_, [this] {
        follow();
        changed_();
    });
}

void TrayColourWatch::follow() {
    xcb_connection_t* connection = x11Connection();
    owner_ = connection != nullptr ? xembedTrayOwner(connection) : XCB_NONE;
    if (owner_ == XCB_NONE) return;
    // Qt already follows this window's structure (it learns so when the tray goes away): keep that, add properties.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, owner_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

bool TrayColourWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* property = static_cast<const xcb_property_notify_event_t*>(message);
        if (property->window == owner_ && property->atom == colours_) changed_();
    } else if (type == XCB_CLIENT_MESSAGE) {
        const auto* client = static_cast<const xcb_client_message_event_t*>(message);
        if (client->type == manager_) followSoon();
    }
    return false;
}

}  // namespace tavix
