#pragma once

#include <filesystem>
#include <string>

namespace tavix {

// $XDG_CONFIG_HOME/autostart/app.tavix.menu.desktop, ~/.config/autostart/… when that is not set.
std::filesystem::path autostartEntryPath(const std::filesystem::path& home);

// Whether a system-wide autostart entry of ours is installed: app.tavix.menu.desktop in the "autostart" folder of a
// directory of $XDG_CONFIG_DIRS (/etc/xdg when unset). The user's own entry of that name overrides it.
bool systemAutostartEntryExists();

// The desktop entry that starts `program` at login, after the panel is up (so the tray exists by then);
// `Hidden=true` when start at login is off.
std::string autostartEntry(const std::filesystem::path& program, bool on);

// `program` as a desktop entry's Exec value: quoted and escaped when it holds anything but plain characters.
std::string desktopExec(const std::string& program);

}  // namespace tavix
