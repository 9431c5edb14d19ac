#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace tavix {

// A token that lets the next window brought forward take the focus on Wayland: a panel's (ProvideXdgActivationToken),
// a later start's (the platform data of its request), this start's launcher's (XDG_ACTIVATION_TOKEN). A token is good
// once and for a short while: one not taken within seconds is dropped, a newer one replaces it.
void offerActivationToken(const QString& token);
// The token on offer, if any; it is no longer on offer afterwards.
QString takeActivationToken();

// Asks for a shown window to get the focus. On X11 as Qt does it. On Wayland through xdg-activation, once the window
// is on screen: with the token on offer, else with one of our own, for which the compositor marks the window as
// wanting attention; when an offered token changed nothing, again with one of our own. One request per window at a
// time: asking again meanwhile adds nothing.
void requestActivation(QWidget* window);

// Every top-level window and dialog of the program, while this lives: the application's icon, on X11 the desktop
// file's name (_KDE_NET_WM_DESKTOP_FILE, _GTK_APPLICATION_ID; Wayland has it as the app id), and on Wayland a request
// to come forward each time one shows. It also takes this start's activation token from the environment, where no
// child program inherits it.
class DesktopWindows final : public QObject {
  public:
    DesktopWindows();
    ~DesktopWindows() override;
    DesktopWindows(const DesktopWindows&) = delete;
    DesktopWindows& operator=(const DesktopWindows&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tavix
