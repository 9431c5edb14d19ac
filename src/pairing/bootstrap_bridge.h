#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "pairing/pairing_form.h"

namespace tavix {

class TavixMenu;

inline constexpr Refusal kMoveFirst{"Move Tavix Link first",
                                    "Drag Tavix Link into Applications, open it there, then enter the pairing code."};
inline constexpr std::string_view kDownloadFailed = "Bridge download failed";
inline constexpr std::string_view kRetryPairing = "Open Devices and retry pairing.";
inline constexpr std::string_view kCouldNotStartSetup = "Could not start setup";
inline constexpr std::string_view kSetupNeedsAttention = "Setup needs attention";
inline constexpr Refusal kTavixReady{"Tavix is ready",
                                     "The bridge is connected. Its status will appear here in a few seconds."};

// First-time installation: downloads the server's set-up script, saves it privately in the state directory and
// runs it with the shell, handing it the server, the state directory, the pairing code and our own location.
void bootstrapBridge(TavixMenu& menu, const std::string& base, const std::string& code);

// Removes the set-up scripts that a run cut short by a crash left in the state directory `root`.
void removeLeftoverScripts(const std::filesystem::path& root);

}  // namespace tavix
