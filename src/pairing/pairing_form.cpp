#include "pairing/pairing_form.h"

#include <algorithm>

#include "platform/system/url.h"

namespace tavix {
namespace {

bool isAsciiAlnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isHostCharacter(char c) {
    return isAsciiAlnum(c) || c == '.' || c == ':' || c == '-';
}

// An https URL with a host and without user, password, query or fragment (present counts, even empty).
bool isPlainHttpsUrl(std::string_view server) {
    const auto parts = parseUrl(server);
    return parts && parts->scheme == "https" && parts->host && !parts->hasUser && !parts->hasPassword &&
           !parts->hasQuery && !parts->hasFragment;
}

}  // namespace

bool isPairingCode(std::string_view code) {
    return code.size() == 6 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '2' && c <= '9'; });
}

bool isServerAddress(std::string_view server) {
    constexpr std::string_view scheme = "https://";
    if (server.substr(0, scheme.size()) != scheme) return false;
    auto rest = server.substr(scheme.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    return !rest.empty() && std::all_of(rest.begin(), rest.end(), isHostCharacter);
}

std::optional<Refusal> checkPairingForm(std::string_view server, std::string_view code) {
    if (!isPlainHttpsUrl(server) || !isPairingCode(code)) return kCheckPairingDetails;
    if (!isServerAddress(server)) return kInvalidServer;
    return std::nullopt;
}

std::string baseOf(std::string_view server) {
    const auto first = server.find_first_not_of('/');
    if (first == std::string_view::npos) return {};
    return std::string(server.substr(first, server.find_last_not_of('/') - first + 1));
}

}  // namespace tavix
