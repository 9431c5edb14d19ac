#include "android/qr_pairing.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "android/adb_address.h"
#include "android/wireless.h"
#include "control/process_text.h"
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

}  // namespace tavix

namespace tavix {
namespace {

constexpr std::string_view kUnavailable = "QR pairing unavailable";
constexpr std::string_view kUseCode =
    "Pair with the address and code instead: on the phone, Wireless debugging → Pair device with pairing code.";
constexpr std::string_view kSteps =
    "On the phone: Developer options → Wireless debugging → Pair device with QR code, then scan this code.";
// A listing answers at once; only a stuck adb comes near this.
constexpr double kListingSeconds = 10;

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string spoken(double seconds) {
    const auto whole = static_cast<long long>(seconds);
    if (whole % 60 == 0 && whole >= 60) return std::to_string(whole / 60) + (whole == 60 ? " minute" : " minutes");
    return std::to_string(whole) + (whole == 1 ? " second" : " seconds");
}

}  // namespace

void QrPairing::start() {
    const auto adb = adbPath(host_.state().config());
    if (!adb) return host_.alert(std::string(kAdbMissing.title), std::string(kAdbMissing.text), Outcome::refused);
    if (!host_.beginOperation()) {
        return host_.alert(std::string(kTaskInProgress.title), std::string(kTaskInProgress.text), Outcome::refused);
    }
    ++run_;
    adb_ = *adb;
    name_ = std::string(kQrNamePrefix) + randomAlphanumeric(10);
    password_ = randomAlphanumeric(12);
    guid_.clear();
    pairOutput_.clear();
    // The first listing tells whether this adb can list at all, before a code is shown that could not work.
    stage_ = Stage::probing;
    listServices();
}

void QrPairing::cancel() {
    if (stage_ == Stage::done) return;
    end();
    host_.endPrograms();
}

void QrPairing::listServices() {
    ProcessRequest request{adb_, {"mdns", "services"}, std::nullopt, {}, kListingSeconds, OutputShape::listing};
    host_.runProgram(request, [this, run = run_](ProcessResult result) {
        if (run == run_) listed(result);
    });
}

void QrPairing::listed(const ProcessResult& result) {
    switch (stage_) {
        case Stage::probing:
            if (adbLacksCommand(result.status, result.output)) {
                return finish(std::string(kUnavailable), olderAdbText(adb_, host_.state().entry("config")),
                              Outcome::failed);
            }
            if (result.status != 0) {
                const std::string shown = shapeOutput(result.output);
                return finish(std::string(kUnavailable),
                              outputOrStatus(shown, quotedCommand(adb_, {"mdns", "services"}), result.status) + "\n" +
                                  std::string(kUseCode),
                              Outcome::failed);
            }
            if (auto failure =
                    host_.showPairingCode(qrPairingText(name_, password_), std::string(kSteps), [this] { cancel(); })) {
                return finish(std::string(kUnavailable), *failure, Outcome::failed);
            }
            host_.pairingProgress("Waiting for the phone…");
            stage_ = Stage::awaitingPairing;
            deadline_ = steadySeconds() + host_.options().qrTotal;
            break;
        case Stage::awaitingPairing:
            if (auto address = announcedAddress(result.output, name_, kPairingService)) return pair(*address);
            break;
        case Stage::awaitingConnection:
            if (auto address = announcedAddress(result.output, guid_, kConnectService)) return connect(*address);
            break;
        case Stage::pairing:
        case Stage::connecting:
        case Stage::done:
            return;
    }
    if (steadySeconds() >= deadline_) return giveUp();
    host_.runAfter(host_.options().qrInterval, [this, run = run_] {
        if (run == run_ && (stage_ == Stage::awaitingPairing || stage_ == Stage::awaitingConnection)) listServices();
    });
}

void QrPairing::pair(const std::string& address) {
    stage_ = Stage::pairing;
    // The password goes to adb on standard input only, never among its arguments.
    ProcessRequest request{adb_, {"pair", address}, password_, {}, host_.options().adbTimeout, OutputShape::message};
    host_.runProgram(request, [this, run = run_, command = quotedCommand(adb_, request.arguments)](ProcessResult r) {
        if (run != run_ || stage_ != Stage::pairing) return;
        if (!adbSucceeded(r.status, r.output)) {
            return finish(std::string(kConnectionFailed), outputOrStatus(r.output, command, r.status), Outcome::failed);
        }
        pairOutput_ = r.output;
        auto guid = pairedGuid(r.output);
        if (!guid) return finish(std::string(kPhonePaired), r.output + std::string(kPairedHint), Outcome::done);
        guid_ = *guid;
        host_.pairingProgress("Paired. Waiting for the phone to offer its connection…");
        stage_ = Stage::awaitingConnection;
        listServices();
    });
}

void QrPairing::connect(const std::string& address) {
    stage_ = Stage::connecting;
    ProcessRequest request{adb_, {"connect", address},       std::nullopt,
                           {},   host_.options().adbTimeout, OutputShape::message};
    host_.runProgram(request, [this, run = run_, command = quotedCommand(adb_, request.arguments)](ProcessResult r) {
        if (run != run_ || stage_ != Stage::connecting) return;
        if (adbSucceeded(r.status, r.output)) return finish(std::string(kPhoneConnected), r.output, Outcome::done);
        finish(std::string(kConnectionFailed), outputOrStatus(r.output, command, r.status), Outcome::failed);
    });
}

void QrPairing::giveUp() {
    if (stage_ == Stage::awaitingConnection) {
        // Paired all the same: what the code form says after a pairing.
        return finish(std::string(kPhonePaired), pairOutput_ + std::string(kPairedHint), Outcome::done);
    }
    finish("No phone found",
           "No phone answered the QR code within " + spoken(host_.options().qrTotal) +
               ". Check that the phone is on the same network as this computer and try again.\n" +
               std::string(kUseCode),
           Outcome::failed);
}

void QrPairing::finish(const std::string& title, const std::string& text, Outcome outcome) {
    end();
    host_.alert(title, text, outcome);
    host_.refresh();
}

void QrPairing::end() {
    const bool shown = stage_ != Stage::probing;
    stage_ = Stage::done;
    ++run_;
    if (shown) host_.closePairingCode();
    host_.endOperation();
}

}  // namespace tavix
