#pragma once

namespace tavix {

// Whether the desktop shows tray icons right now: a StatusNotifier host on the session bus, or an XEmbed tray.
// Asked before Qt picks its tray backend, which it does once per process.
bool trayHostPresent();

}  // namespace tavix
