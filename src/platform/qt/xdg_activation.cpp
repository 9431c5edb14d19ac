#include "platform/qt/xdg_activation.h"

#include <qpa/qplatformnativeinterface.h>
#include <QGuiApplication>
#include <QWindow>

#include <wayland-client.h>
#include <xdg-activation-v1-client-protocol.h>

#include <cstring>
#include <optional>

namespace tavix {
namespace {

void announced(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, xdg_activation_v1_interface.name) != 0) return;
    *static_cast<xdg_activation_v1**>(data) =
        static_cast<xdg_activation_v1*>(wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}
void withdrawn(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry{announced, withdrawn};

void issued(void* data, xdg_activation_token_v1*, const char* token) {
    *static_cast<std::optional<QString>*>(data) = QString::fromUtf8(token);
}
const xdg_activation_token_v1_listener kToken{issued};

QPlatformNativeInterface* native() {
    return QGuiApplication::platformName() == QLatin1String("wayland") ? QGuiApplication::platformNativeInterface()
                                                                       : nullptr;
}

}  // namespace

XdgActivation* XdgActivation::instance() {
    // Bound once and kept for the life of the process, as Qt keeps its connection.
    static XdgActivation* const bound = []() -> XdgActivation* {
        QPlatformNativeInterface* wayland = native();
        auto* display = wayland != nullptr
                            ? static_cast<wl_display*>(wayland->nativeResourceForIntegration("wl_display"))
                            : nullptr;
        if (display == nullptr) return nullptr;
        // A queue of our own, which only our round trips read: Qt's event thread never runs our listeners.
        wl_event_queue* queue = wl_display_create_queue(display);
        auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
        wl_registry* registry = wl_display_get_registry(wrapped);
        wl_proxy_wrapper_destroy(wrapped);
        xdg_activation_v1* global = nullptr;
        wl_registry_add_listener(registry, &kRegistry, &global);
        wl_display_roundtrip_queue(display, queue);
        wl_registry_destroy(registry);
        if (global == nullptr) {
            wl_event_queue_destroy(queue);
            return nullptr;
        }
        return new XdgActivation(display, queue, global);
    }();
    return bound;
}

QString XdgActivation::newToken() {
    xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(global_);
    std::optional<QString> value;
    xdg_activation_token_v1_add_listener(token, &kToken, &value);
    const QByteArray appId = QGuiApplication::desktopFileName().toUtf8();
    if (!appId.isEmpty()) xdg_activation_token_v1_set_app_id(token, appId.constData());
    xdg_activation_token_v1_commit(token);
    // The compositor answers the commit at once.
    for (int trip = 0; trip < 3 && !value; ++trip) {
        if (wl_display_roundtrip_queue(display_, queue_) < 0) break;
    }
    xdg_activation_token_v1_destroy(token);
    return value.value_or(QString());
}

bool XdgActivation::activate(QWindow* window, const QString& token) {
    QPlatformNativeInterface* wayland = native();
    auto* surface = wayland != nullptr && window != nullptr
                        ? static_cast<wl_surface*>(wayland->nativeResourceForWindow("surface", window))
                        : nullptr;
    if (surface == nullptr || token.isEmpty()) return false;
    xdg_activation_v1_activate(global_, token.toUtf8().constData(), surface);
    wl_display_flush(display_);
    return true;
}

}  // namespace tavix
