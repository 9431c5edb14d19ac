#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavix {

// The help alerts: title and text.
struct HelpText {
    std::string_view title;
    std::string_view text;
};

inline constexpr HelpText kPermissionsHelp{
    "Device permissions",
    "For screenshots allow Screen Recording for the bridge's Node executable. App control may need Accessibility "
    "permission. Android USB debugging authorization is approved on the phone. These are separate from account "
    "pairing."};
inline constexpr HelpText kUsbHelp{
    "Connect Android with USB",
    "On Android enable Developer options → USB debugging. Connect a data-capable cable, unlock the phone and approve "
    "‘Allow USB debugging’. Phone status will appear here automatically. A locked screen cannot be bypassed."};
inline constexpr HelpText kUpdateHelp{
    "Update Tavix Link",
    "Open Devices → Link a computer and run the macOS installer again. Your existing pairing is retained. The "
    "installer updates both the bridge and this menu bar app.\n\nQuitting this menu does not stop the background "
    "bridge."};
// Shown once, with the settings window, when no tray has shown the icon a while after start.
inline constexpr HelpText kNoTrayHelp{
    "No tray found",
    "This desktop shows no tray icons. The Tavix Link icon appears by itself once a tray is there; on GNOME, turn on "
    "the AppIndicator extension (Debian package gnome-shell-extension-appindicator). Starting Tavix Link again brings "
    "this window back."};

// The address of the server's devices page; nothing when server + "/phone" is not a URL.
std::optional<std::string> devicesPage(const std::string& server);

}  // namespace tavix
