#include "android/wireless.h"

#include <algorithm>

#include "android/adb_address.h"
#include "control/process_text.h"

namespace tavix {
namespace {

bool contains(std::string_view text, std::string_view phrase) {
    return text.find(phrase) != std::string_view::npos;
}

}  // namespace

std::optional<std::string> adbPath(const Config& config) {
    auto adb = config.find("ADB");
    if (adb == config.end() || adb->second.empty()) return std::nullopt;
    return adb->second;
}

bool adbLacksCommand(std::int32_t status, std::string_view output) {
    return status != 0 && contains(output, "unknown command");
}

std::string olderAdbText(const std::string& adb, const std::filesystem::path& config) {
    return "Pairing a phone over Wi-Fi needs adb 30 or later (Android SDK platform-tools); “" + adb +
           "” is older. Install platform-tools and name their adb in " + config.string() +
           " (ADB=/path/to/platform-tools/adb).";
}

bool adbSucceeded(std::int32_t status, std::string_view output) {
    if (status != 0) return false;
    std::string lower(output);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return contains(lower, "successfully paired") || contains(lower, "connected to");
}

bool phonePairingCode(std::string_view code) {
    return code.size() == 6 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void wireless(AndroidHost& host, bool pair) {
    std::vector<FormField> fields{{"IP address:port", "", false}};
    if (pair) fields.push_back({"Pairing code", "", true});
    auto answers = pair ? host.form("Pair Android",
                                    "On Android: Developer options → Wireless debugging → Pair device with pairing "
                                    "code. Enter that address and code. Both devices must be on the same network.",
                                    fields, "Pair")
                        : host.form("Connect Android",
                                    "Use the IP address and port on the main Wireless debugging screen. This port is "
                                    "usually different from the pairing port.",
                                    fields, "Connect");
    if (!answers || answers->size() != fields.size()) return;

    const std::string address = (*answers)[0];
    if (!adbAddress(address) || (pair && !phonePairingCode((*answers)[1]))) {
        host.alert("Check phone details",
                   "Enter the phone address with a valid port and, for pairing, the 6-digit code.", Outcome::refused);
        return;
    }

    const auto adb = adbPath(host.state().config());
    if (!adb) {
        host.alert(std::string(kAdbMissing.title), std::string(kAdbMissing.text), Outcome::refused);
        return;
    }

    // The code goes to adb on standard input only, never among its arguments.
    const std::optional<std::string> input = pair ? std::optional<std::string>((*answers)[1]) : std::nullopt;
    const std::vector<std::string> arguments{pair ? "pair" : "connect", address};
    host.process(*adb, arguments, input, {}, host.options().adbTimeout,
                 [&host, pair, adb = *adb, command = quotedCommand(*adb, arguments)](std::int32_t status,
                                                                                     const std::string& output) {
                     if (pair && adbLacksCommand(status, output)) {
                         host.alert(std::string(kConnectionFailed), olderAdbText(adb, host.state().entry("config")),
                                    Outcome::failed);
                     } else if (!adbSucceeded(status, output)) {
                         host.alert(std::string(kConnectionFailed), outputOrStatus(output, command, status),
                                    Outcome::failed);
                     } else if (pair) {
                         host.alert(std::string(kPhonePaired), output + std::string(kPairedHint), Outcome::done);
                     } else {
                         host.alert(std::string(kPhoneConnected), output, Outcome::done);
                     }
                 });
}

}  // namespace tavix
