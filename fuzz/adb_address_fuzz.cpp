// The phone address check, against a small model of its four rules.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "android/adb_address.h"
#include "fuzz_check.h"

namespace {

bool letterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
bool digit(char c) {
    return c >= '0' && c <= '9';
}

bool modelPort(std::string_view port) {
    bool negative = false;
    if (!port.empty() && (port[0] == '+' || port[0] == '-')) {
        negative = port[0] == '-';
        port.remove_prefix(1);
    }
    if (port.empty() || !std::all_of(port.begin(), port.end(), digit)) return false;
    while (port.size() > 1 && port[0] == '0') port.remove_prefix(1);
    if (port.size() > 5) return false;  // more than 99999, or (negative) below -99999
    long value = 0;
    for (char c : port) value = value * 10 + (c - '0');
    if (negative) value = -value;
    return value >= 1 && value <= 65535;
}

bool modelHost(std::string_view host) {
    return !host.empty() && letterOrDigit(host[0]) &&
           std::all_of(host.begin(), host.end(), [](char c) { return letterOrDigit(c) || c == '.' || c == '-'; });
}

bool model(std::string_view address) {
    if (std::count(address.begin(), address.end(), ':') != 1) return false;
    const auto colon = address.find(':');
    return modelPort(address.substr(colon + 1)) && modelHost(address.substr(0, colon));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view address(reinterpret_cast<const char*>(data), size);
    const bool accepted = tavix::adbAddress(address);
    FUZZ_CHECK(accepted == model(address));
    if (accepted) {
        const auto colon = address.find(':');
        FUZZ_CHECK(address.find(':', colon + 1) == std::string_view::npos);
        auto port = address.substr(colon + 1);
        if (port[0] == '+') port.remove_prefix(1);
        FUZZ_CHECK(!port.empty() && std::all_of(port.begin(), port.end(), digit));
        FUZZ_CHECK(colon > 0 && letterOrDigit(address[0]));
    }
    return 0;
}
