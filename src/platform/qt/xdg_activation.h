#pragma once

#include <QString>

class QWindow;
struct wl_display;
struct wl_event_queue;
struct xdg_activation_v1;

namespace tavix {

// xdg-activation on Qt's own Wayland connection, the one way a Wayland client may ask for one of its windows to come
// forward. The compositor focuses the window for a token a user's action produced (a launcher's, a panel's); for a
// token without one, it marks the window as wanting attention.
class XdgActivation {
  public:
    // This process's, when Qt runs on a Wayland compositor that offers the protocol; nullptr otherwise.
    static XdgActivation* instance();

    // A token in the application's name with no user's action behind it; empty when the compositor gave none.
    QString newToken();
    // Asks the compositor to activate `window` with `token`. False when the window has no surface.
    bool activate(QWindow* window, const QString& token);

  private:
    XdgActivation(wl_display* display, wl_event_queue* queue, xdg_activation_v1* global)
        : display_(display), queue_(queue), global_(global) {}

    wl_display* display_;
    wl_event_queue* queue_;
    xdg_activation_v1* global_;
};

}  // namespace tavix
