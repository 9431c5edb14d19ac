#pragma once

#include <QColor>

#include <optional>

namespace tavix {

// Whether the desktop shows tray icons right now: a StatusNotifier host on the session bus, or an XEmbed tray.
// Asked before Qt picks its tray backend, which it does once per process.
bool trayHostPresent();

// The text colour an XEmbed tray asks its icons to use (_NET_SYSTEM_TRAY_COLORS), when it says.
std::optional<QColor> trayForeground();

}  // namespace tavix
