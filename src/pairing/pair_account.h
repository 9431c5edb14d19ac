#pragma once

#include <string_view>

#include "pairing/pairing_form.h"

namespace tavix {

class TavixMenu;

inline constexpr Refusal kTaskInProgress{"Task in progress",
                                         "Wait for the current task or connection operation to finish."};
inline constexpr Refusal kHalfInstalled{
    "Setup incomplete",
    "The local pairing exists but the bridge setup is incomplete. Run the Devices installer once, then pair here."};
inline constexpr std::string_view kPairingFailed = "Pairing failed";
inline constexpr std::string_view kCodeExpired = "Code expired or was already used. Create another code in Devices.";
inline constexpr Refusal kInstallerFirst{"Setup incomplete", "Run the Devices installer first."};
inline constexpr std::string_view kCouldNotSavePairing = "Could not save pairing";
inline constexpr Refusal kMacPaired{"Mac paired", "The bridge is reconnecting. Check the menu for connection status."};

// Asks for the server and a pairing code, then exchanges the code for an account token (bridge installed) or
// hands over to the bridge's set-up (nothing installed yet).
void pairAccount(TavixMenu& menu);

}  // namespace tavix
