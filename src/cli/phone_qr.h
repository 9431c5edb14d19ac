#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/event_loop.h"
#include "cli/terminal.h"

namespace tavix {
class TavixMenu;
}

namespace tavix::cli {

struct QrLimits {
    // From the drawing of the code to the phone's connection.
    EventLoop::Clock::duration total = std::chrono::minutes(2);
    // Between two listings of the phones announced on the network.
    EventLoop::Clock::duration interval = std::chrono::seconds(1);
};

// `tavix phone pair --qr`: draws a QR code that Android's "Pair device with QR code" scans, waits for the phone to
// announce itself, pairs with `adb pair`, then connects with `adb connect` once the phone announces its connection
// address. Every outcome ends in one alert of the application. Runs on the command line's loop; lives until the
// loop is idle.
class PhoneQr {
  public:
    PhoneQr(TavixMenu& menu, EventLoop& loop, Terminal& terminal, QrLimits limits)
        : menu_(menu), loop_(loop), terminal_(terminal), limits_(limits) {}
    PhoneQr(const PhoneQr&) = delete;
    PhoneQr& operator=(const PhoneQr&) = delete;

    void start();
    // Nothing more is started (the user interrupted).
    void stop() { stage_ = Stage::done; }

  private:
    enum class Stage { probing, awaitingPairing, pairing, awaitingConnection, connecting, done };

    void listServices();
    void listed(std::int32_t status, const std::string& output);
    bool drawCode();
    void pair(const std::string& address);
    void connect(const std::string& address);
    void giveUp();
    void finish(const std::string& title, const std::string& text);

    TavixMenu& menu_;
    EventLoop& loop_;
    Terminal& terminal_;
    QrLimits limits_;
    Stage stage_ = Stage::done;
    std::string adb_;
    std::string name_;
    std::string password_;
    std::string guid_;
    std::string pairOutput_;
    EventLoop::Clock::time_point deadline_{};
};

}  // namespace tavix::cli
