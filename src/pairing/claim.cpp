#include "pairing/claim.h"

#include <algorithm>

namespace tavix {

std::optional<std::string> claimBody(std::string_view code, std::string_view label) {
    try {
        return nlohmann::json{{"code", code}, {"label", label}}.dump();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::string claimLabel(std::string_view computerName) {
    return computerName.empty() ? "Mac" : std::string(computerName);
}

ClaimReply readClaimReply(HttpResponse response) {
    ClaimReply reply;
    reply.transportError = std::move(response.transportError);
    if (reply.transportError) return reply;
    reply.status = response.status;
    // A body cut at the size limit is not JSON worth parsing.
    if (response.body && !response.bodyCut) {
        auto parsed = nlohmann::json::parse(*response.body, nullptr, /*allow_exceptions=*/false);
        if (parsed.is_object()) reply.object = std::move(parsed);
    }
    return reply;
}

bool isAccountToken(std::string_view token) {
    return token.size() == 64 && std::all_of(token.begin(), token.end(),
                                             [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<std::string> claimedToken(const ClaimReply& reply) {
    if (reply.status != 200 || !reply.object || reply.object->empty()) return std::nullopt;
    const auto token = reply.object->find("token");
    if (token == reply.object->end() || !token->is_string()) return std::nullopt;
    const auto& text = token->get_ref<const std::string&>();
    if (!isAccountToken(text)) return std::nullopt;
    return text;
}

}  // namespace tavix
