#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "cli/event_loop.h"
#include "cli/terminal.h"
#include "state/options.h"

namespace tavix::cli {

struct Settings {
    // Changes the application's options before it is built (tests point the programs it runs at scripts).
    std::function<void(Options&)> adjust;
    // Certificates to trust for HTTPS instead of the system's; empty for the system's.
    std::string authorityFile;
    // `status --watch` prints at least this often.
    EventLoop::Clock::duration watchInterval = std::chrono::seconds(3);
    // `logs -f` looks for new lines this often.
    EventLoop::Clock::duration followInterval = std::chrono::milliseconds(250);
};

// Exit statuses.
inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kWrongUsage = 2;
inline constexpr int kNotConnected = 3;  // `status`: the bridge is not connected

// Runs `tavix` with these arguments (the program's name left out) and returns its exit status.
int runCommandLine(const std::vector<std::string>& arguments, Terminal& terminal, const Settings& settings = {});

}  // namespace tavix::cli
