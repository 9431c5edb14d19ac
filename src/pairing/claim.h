#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/http.h"

namespace tavix {

// A token reply is tiny; anything near this size is not one, and is not held in memory whole.
inline constexpr std::size_t kMaxClaimReplyBytes = 1024 * 1024;

// The claim request's body: {"code":…,"label":…} written compactly; nothing when it cannot be written (a label
// that is not UTF-8).
std::optional<std::string> claimBody(std::string_view code, std::string_view label);

// The name the server shows for this computer: its user-visible name, else "Mac".
std::string claimLabel(std::string_view computerName);

// What the main thread needs of a claim reply: parsed where it arrived, judged on the main thread.
struct ClaimReply {
    std::optional<std::string> transportError;
    long status = 0;                       // 0 when no HTTP response arrived
    std::optional<nlohmann::json> object;  // the body when it is a JSON object
};

// Parses the reply's body, keeping it only when it is a JSON object.
ClaimReply readClaimReply(HttpResponse response);

// Exactly 64 lower-case hexadecimal digits.
bool isAccountToken(std::string_view token);

// The account token of a successful reply: status 200, a non-empty object, and a "token" that is an account token.
std::optional<std::string> claimedToken(const ClaimReply& reply);

}  // namespace tavix
