#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavix {

// Pairing by QR code, as Android's Wireless debugging → "Pair device with QR code" expects: the code names a
// service and a password; the phone announces that service over mDNS with its pairing address, `adb pair` proves
// the password, and the phone then announces its connection address under the name `adb pair` reports.

inline constexpr std::string_view kPairingService = "_adb-tls-pairing._tcp";
inline constexpr std::string_view kConnectService = "_adb-tls-connect._tcp";
inline constexpr std::string_view kQrNamePrefix = "tavix-";

// The text the QR code carries.
std::string qrPairingText(std::string_view name, std::string_view password);

// `length` ASCII letters and digits, uniformly from the system's random source.
std::string randomAlphanumeric(std::size_t length);

// The "HOST:PORT" that an `adb mdns services` listing gives for `service` under the instance `name`; nothing when
// it is not listed (or only with an address adb could not be given).
std::optional<std::string> announcedAddress(std::string_view listing, std::string_view name, std::string_view service);

// The name under which a phone paired by `adb pair` announces itself: its "[guid=…]".
std::optional<std::string> pairedGuid(std::string_view output);

// adb answered that it has no "mdns" command (the Android platform tools before version 30).
bool lacksMdns(std::int32_t status, std::string_view output);

}  // namespace tavix
