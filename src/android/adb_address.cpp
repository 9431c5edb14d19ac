#include "android/adb_address.h"

#include <charconv>
#include <cstdint>

namespace tavix {
namespace {

bool asciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// An optional "+" or "-", then one or more ASCII digits, fitting a signed 64-bit integer.
bool parsePort(std::string_view text, std::int64_t& value) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    constexpr auto kMax = static_cast<std::uint64_t>(INT64_MAX);
    if (magnitude > kMax + (negative ? 1 : 0)) return false;
    value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool validHost(std::string_view host) {
    if (host.empty() || !asciiAlnum(host.front())) return false;
    for (char c : host) {
        if (!asciiAlnum(c) && c != '.' && c != '-') return false;
    }
    return true;
}

}  // namespace

bool adbAddress(std::string_view address) {
    auto colon = address.find(':');
    if (colon == std::string_view::npos || address.find(':', colon + 1) != std::string_view::npos) return false;
    std::int64_t port = 0;
    if (!parsePort(address.substr(colon + 1), port)) return false;
    if (port < 1 || port > 65535) return false;
    return validHost(address.substr(0, colon));
}

}  // namespace tavix
