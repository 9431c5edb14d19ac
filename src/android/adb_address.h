#pragma once

#include <string_view>

namespace tavix {

// A phone address for adb over Wi-Fi: "host:port" with one colon, a host of ASCII letters, digits, "." and "-"
// (not starting with "." or "-"), and a port from 1 to 65535 (an optional sign and leading zeros allowed).
bool adbAddress(std::string_view address);

}  // namespace tavix
