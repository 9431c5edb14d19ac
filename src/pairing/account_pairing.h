#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "pairing/claim.h"
#include "pairing/pairing_form.h"
#include "pairing/pairing_host.h"

namespace tavix {

inline constexpr Refusal kHalfInstalled{
    "Setup incomplete",
    "The local pairing exists but the bridge setup is incomplete. Run the Devices installer once, then pair here."};
inline constexpr std::string_view kPairingFailed = "Pairing failed";
inline constexpr std::string_view kCodeExpired = "Code expired or was already used. Create another code in Devices.";
inline constexpr Refusal kInstallerFirst{"Setup incomplete", "Run the Devices installer first."};
inline constexpr std::string_view kCouldNotSavePairing = "Could not save pairing";
inline constexpr Refusal kMacPaired{"Mac paired", "The bridge is reconnecting. Check the menu for connection status."};

inline constexpr Refusal kMoveFirst{"Move Tavix Link first",
                                    "Drag Tavix Link into Applications, open it there, then enter the pairing code."};
inline constexpr std::string_view kDownloadFailed = "Bridge download failed";
inline constexpr std::string_view kRetryPairing = "Open Devices and retry pairing.";
inline constexpr std::string_view kCouldNotStartSetup = "Could not start setup";
inline constexpr std::string_view kSetupNeedsAttention = "Setup needs attention";
inline constexpr Refusal kTavixReady{"Tavix is ready",
                                     "The bridge is connected. Its status will appear here in a few seconds."};

// Pairing this computer with an account: the pairing form, then the claim request (bridge installed) or the
// bridge's first-time set-up (nothing installed yet). Main thread only; every outcome ends in one alert.
class AccountPairing {
  public:
    explicit AccountPairing(PairingHost& host) : host_(host) {}

    // Asks for the server and a pairing code, checks them and goes on by the claim or the set-up.
    void pairAccount();
    // Downloads the server's set-up script, saves it privately in the state directory and runs it with the shell,
    // handing it the server, the state directory, the pairing code and our own location.
    void bootstrapBridge(const std::string& base, const std::string& code);

  private:
    void claim(const std::string& base, const std::string& code);
    void finishClaim(const std::string& base, const ClaimReply& reply);
    void runSetup(const std::string& base, const std::string& code, const HttpResponse& response);
    void show(const Refusal& message, Outcome outcome) {
        host_.alert(std::string(message.title), std::string(message.text), outcome);
    }

    PairingHost& host_;
};

// Removes the set-up scripts that a run cut short by a crash left in the state directory `root`.
void removeLeftoverScripts(const std::filesystem::path& root);

}  // namespace tavix
