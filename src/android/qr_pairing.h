#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "android/android_host.h"

namespace tavix {

// Pairing by QR code, as Android's Wireless debugging → "Pair device with QR code" expects: the code names a
// service and a password; the phone announces that service over mDNS with its pairing address, `adb pair` proves
// the password, and the phone then announces its connection address under the name `adb pair` reports.

inline constexpr std::string_view kPairingService = "_adb-tls-pairing._tcp";
inline constexpr std::string_view kConnectService = "_adb-tls-connect._tcp";
inline constexpr std::string_view kQrNamePrefix = "tavix-";

// The text the QR code carries.
std::string qrPairingText(std::string_view name, std::string_view password);

// `length` ASCII letters and digits, uniformly from the system's random source.
std::string randomAlphanumeric(std::size_t length);

// The "HOST:PORT" that an `adb mdns services` listing gives for `service` under the instance `name`; nothing when
// it is not listed (or only with an address adb could not be given).
std::optional<std::string> announcedAddress(std::string_view listing, std::string_view name, std::string_view service);

// The name under which a phone paired by `adb pair` announces itself: its "[guid=…]".
std::optional<std::string> pairedGuid(std::string_view output);

// The whole pairing by QR code, as one operation: shows the code, waits for the phone to announce itself, pairs
// with `adb pair` (the password on standard input), then connects with `adb connect` once the phone announces its
// connection address. Every outcome ends in one alert. Main thread only.
class QrPairing {
  public:
    explicit QrPairing(AndroidHost& host) : host_(host) {}
    QrPairing(const QrPairing&) = delete;
    QrPairing& operator=(const QrPairing&) = delete;

    void start();
    // The user gave up: nothing more starts, what runs is ended, and nothing more is said.
    void cancel();
    bool running() const { return stage_ != Stage::done; }

  private:
    enum class Stage { probing, awaitingPairing, pairing, awaitingConnection, connecting, done };

    void listServices();
    void listed(const ProcessResult& result);
    void pair(const std::string& address);
    void connect(const std::string& address);
    void giveUp();
    void finish(const std::string& title, const std::string& text, Outcome outcome);
    // Ends the flow: the code goes, the operation ends.
    void end();

    AndroidHost& host_;
    Stage stage_ = Stage::done;
    // Each start has its own number: what an earlier, cancelled flow still reports is dropped.
    unsigned run_ = 0;
    std::string adb_;
    std::string name_;
    std::string password_;
    std::string guid_;
    std::string pairOutput_;
    double deadline_ = 0;  // seconds on the steady clock
};

}  // namespace tavix
