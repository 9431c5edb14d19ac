#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "state/availability.h"

namespace tavix {

inline constexpr Refusal kCheckPairingDetails{"Check pairing details",
                                              "Use an HTTPS server address and a valid 6-digit pairing code."};
inline constexpr Refusal kInvalidServer{"Invalid server", "Use the HTTPS hostname, without a path."};

// Six characters, each a digit from 2 to 9.
bool isPairingCode(std::string_view code);

// "https://", then only letters, digits, ".", ":" and "-", then at most one "/".
bool isServerAddress(std::string_view server);

// Judges the pairing form's two answers (already trimmed); nothing when both are acceptable.
std::optional<Refusal> checkPairingForm(std::string_view server, std::string_view code);

// The server base URL: the server text with every "/" removed from both ends.
std::string baseOf(std::string_view server);

}  // namespace tavix
