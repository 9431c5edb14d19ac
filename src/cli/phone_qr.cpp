#include "cli/phone_qr.h"

#include "android/qr_pairing.h"
#include "android/wireless.h"
#include "app/tavix_menu.h"
#include "cli/qr_code.h"
#include "control/process_text.h"

namespace tavix::cli {
namespace {

constexpr std::string_view kUnavailable = "QR pairing unavailable";
constexpr std::string_view kUseCode = "Pair with the address and code instead: tavix phone pair ADDRESS";
// A listing answers at once; only a stuck adb comes near this.
constexpr double kListingSeconds = 10;

std::string spoken(EventLoop::Clock::duration limit) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    if (seconds % 60 == 0 && seconds >= 60) {
        return std::to_string(seconds / 60) + (seconds == 60 ? " minute" : " minutes");
    }
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

}  // namespace

void PhoneQr::start() {
    const auto adb = adbPath(menu_.config());
    if (!adb) return menu_.alert(std::string(kAdbMissingTitle), std::string(kAdbMissingText));
    adb_ = *adb;
    name_ = std::string(kQrNamePrefix) + randomAlphanumeric(10);
    password_ = randomAlphanumeric(12);
    // The first listing tells whether this adb can list at all, before a code is shown that could not work.
    stage_ = Stage::probing;
    listServices();
}

void PhoneQr::listServices() {
    menu_.process(adb_, {"mdns", "services"}, std::nullopt, {}, kListingSeconds,
                  [this](std::int32_t status, const std::string& output) { listed(status, output); });
}

void PhoneQr::listed(std::int32_t status, const std::string& output) {
    switch (stage_) {
        case Stage::probing:
            if (lacksMdns(status, output)) {
                return finish(std::string(kUnavailable),
                              "This adb cannot look for phones on the network (it has no “mdns” command; Android "
                              "platform tools 30 and later have it).\n" +
                                  std::string(kUseCode));
            }
            if (status != 0) {
                return finish(std::string(kUnavailable),
                              outputOrStatus(output, quotedCommand(adb_, {"mdns", "services"}), status) + "\n" +
                                  std::string(kUseCode));
            }
            if (!drawCode()) return;
            stage_ = Stage::awaitingPairing;
            deadline_ = EventLoop::Clock::now() + limits_.total;
            break;
        case Stage::awaitingPairing:
            if (auto address = announcedAddress(output, name_, kPairingService)) return pair(*address);
            break;
        case Stage::awaitingConnection:
            if (auto address = announcedAddress(output, guid_, kConnectService)) return connect(*address);
            break;
        default:
            return;
    }
    if (EventLoop::Clock::now() >= deadline_) return giveUp();
    loop_.after(limits_.interval, [this] {
        if (stage_ == Stage::awaitingPairing || stage_ == Stage::awaitingConnection) listServices();
    });
}

bool PhoneQr::drawCode() {
    const auto drawing = qrBlocks(qrPairingText(name_, password_), terminal_.colour());
    if (!drawing) {
        finish(std::string(kUnavailable), "The QR code could not be made.\n" + std::string(kUseCode));
        return false;
    }
    terminal_.out() << "On the phone: Developer options → Wireless debugging → Pair device with QR code, then scan "
                       "this code.\n"
                    << *drawing << "Waiting for the phone… (Ctrl-C to stop)\n"
                    << std::flush;
    return true;
}

void PhoneQr::pair(const std::string& address) {
    stage_ = Stage::pairing;
    // The password goes to adb on standard input only, never among its arguments.
    const std::vector<std::string> arguments{"pair", address};
    menu_.process(adb_, arguments, password_, {}, menu_.options().adbTimeout,
                  [this, command = quotedCommand(adb_, arguments)](std::int32_t status, const std::string& output) {
                      if (stage_ != Stage::pairing) return;
                      if (!adbSucceeded(status, output)) {
                          return finish(std::string(kConnectionFailed), outputOrStatus(output, command, status));
                      }
                      pairOutput_ = output;
                      auto guid = pairedGuid(output);
                      if (!guid) return finish(std::string(kPhonePaired), output + std::string(kPairedHint));
                      guid_ = *guid;
                      terminal_.out() << "Paired. Waiting for the phone to offer its connection…\n" << std::flush;
                      stage_ = Stage::awaitingConnection;
                      listServices();
                  });
}

void PhoneQr::connect(const std::string& address) {
    stage_ = Stage::connecting;
    const std::vector<std::string> arguments{"connect", address};
    menu_.process(adb_, arguments, std::nullopt, {}, menu_.options().adbTimeout,
                  [this, command = quotedCommand(adb_, arguments)](std::int32_t status, const std::string& output) {
                      if (stage_ != Stage::connecting) return;
                      if (adbSucceeded(status, output)) return finish(std::string(kPhoneConnected), output);
                      finish(std::string(kConnectionFailed), outputOrStatus(output, command, status));
                  });
}

void PhoneQr::giveUp() {
    if (stage_ == Stage::awaitingConnection) {
        // Paired all the same: what the code form says after a pairing.
        return finish(std::string(kPhonePaired), pairOutput_ + std::string(kPairedHint));
    }
    finish("No phone found", "No phone answered the QR code within " + spoken(limits_.total) +
                                 ". Check that the phone is on the same network as this computer and try again.\n" +
                                 std::string(kUseCode));
}

void PhoneQr::finish(const std::string& title, const std::string& text) {
    stage_ = Stage::done;
    menu_.alert(title, text);
}

}  // namespace tavix::cli
