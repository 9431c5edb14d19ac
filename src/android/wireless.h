#pragma once

#include <cstdint>
#include <string_view>

namespace tavix {

class TavixMenu;

// Pairs (pair = true) or connects a phone over Wi-Fi with adb: asks for the address (and the pairing code), checks
// them, runs adb and reports the outcome. Does nothing while another operation runs.
void runWireless(TavixMenu& menu, bool pair);

// adb succeeded: status 0 and, in any letter case, "successfully paired" or "connected to" in its output.
bool adbSucceeded(std::int32_t status, std::string_view output);

// Exactly six ASCII digits.
bool phonePairingCode(std::string_view code);

}  // namespace tavix
