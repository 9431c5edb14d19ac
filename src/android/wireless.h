#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "android/android_host.h"
#include "state/availability.h"
#include "state/config.h"

namespace tavix {

inline constexpr std::string_view kPhonePaired = "Phone paired";
inline constexpr std::string_view kPhoneConnected = "Phone connected";
inline constexpr std::string_view kConnectionFailed = "Connection failed";
// Follows adb's own output after a pairing.
inline constexpr std::string_view kPairedHint =
    "\nIf the phone does not appear, choose Connect Android and use the main Wireless debugging port.";
inline constexpr Refusal kAdbMissing{"ADB missing", "Run the Devices installer to install Android platform tools."};

// The adb program that `config` names; nothing when "ADB" is missing or empty.
std::optional<std::string> adbPath(const Config& config);

// Pairs (pair = true) or connects a phone over Wi-Fi with adb: asks for the address (and the pairing code), checks
// them, runs adb and reports the outcome. Main thread only.
void wireless(AndroidHost& host, bool pair);

// adb answered that it has no such command: the Android platform tools before version 30 have neither "pair" nor
// "mdns".
bool adbLacksCommand(std::int32_t status, std::string_view output);
// What to do about such an adb: install a newer one and name it in `config`.
std::string olderAdbText(const std::string& adb, const std::filesystem::path& config);

// adb succeeded: status 0 and, in any letter case, "successfully paired" or "connected to" in its output.
bool adbSucceeded(std::int32_t status, std::string_view output);

// Exactly six ASCII digits.
bool phonePairingCode(std::string_view code);

}  // namespace tavix
