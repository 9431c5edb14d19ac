#pragma once

#include <QObject>

namespace tavix {

// Every top-level window and dialog of the program, while this lives: the application's icon, and on X11 the desktop
// file's name (_KDE_NET_WM_DESKTOP_FILE, _GTK_APPLICATION_ID; Wayland has it as the app id).
class DesktopWindows final : public QObject {
  public:
    DesktopWindows();
    ~DesktopWindows() override;
    DesktopWindows(const DesktopWindows&) = delete;
    DesktopWindows& operator=(const DesktopWindows&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tavix
