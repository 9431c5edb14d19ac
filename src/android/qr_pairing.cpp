#include "android/qr_pairing.h"

#include <algorithm>
#include <array>

#include "android/adb_address.h"
#include "platform/system/random_bytes.h"

namespace tavix {
namespace {

constexpr std::string_view kAlphanumeric = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The whitespace-separated fields of one line.
std::array<std::string_view, 4> fields(std::string_view line, std::size_t& count) {
    std::array<std::string_view, 4> result{};
    count = 0;
    std::size_t i = 0;
    while (i < line.size() && count < result.size()) {
        while (i < line.size() && isSpace(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !isSpace(line[i])) ++i;
        if (i > start) result[count++] = line.substr(start, i - start);
    }
    return result;
}

bool nameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

}  // namespace

std::string qrPairingText(std::string_view name, std::string_view password) {
    return "WIFI:T:ADB;S:" + std::string(name) + ";P:" + std::string(password) + ";;";
}

std::string randomAlphanumeric(std::size_t length) {
    std::string text;
    text.reserve(length);
    std::array<std::uint8_t, 32> bytes{};
    while (text.size() < length) {
        fillRandom(bytes.data(), bytes.size());
        for (std::uint8_t byte : bytes) {
            // 248 is the largest multiple of 62 a byte holds: higher values would favour the first characters.
            if (byte < 248 && text.size() < length) text += kAlphanumeric[byte % kAlphanumeric.size()];
        }
    }
    return text;
}

std::optional<std::string> announcedAddress(std::string_view listing, std::string_view name, std::string_view service) {
    while (!listing.empty()) {
        const std::size_t end = std::min(listing.find('\n'), listing.size());
        std::size_t count = 0;
        const auto field = fields(listing.substr(0, end), count);
        listing.remove_prefix(std::min(end + 1, listing.size()));
        if (count != 3 || field[0] != name) continue;
        std::string_view type = field[1];
        if (!type.empty() && type.back() == '.') type.remove_suffix(1);
        if (type == service && adbAddress(field[2])) return std::string(field[2]);
    }
    return std::nullopt;
}

std::optional<std::string> pairedGuid(std::string_view output) {
    constexpr std::string_view kMark = "[guid=";
    const std::size_t start = output.find(kMark);
    if (start == std::string_view::npos) return std::nullopt;
    const std::string_view rest = output.substr(start + kMark.size());
    const std::size_t end = rest.find(']');
    if (end == 0 || end == std::string_view::npos) return std::nullopt;
    const std::string_view guid = rest.substr(0, end);
    if (!std::all_of(guid.begin(), guid.end(), nameCharacter)) return std::nullopt;
    return std::string(guid);
}

bool lacksMdns(std::int32_t status, std::string_view output) {
    return status != 0 && output.find("unknown command") != std::string_view::npos;
}

}  // namespace tavix
