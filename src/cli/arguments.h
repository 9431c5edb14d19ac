#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavix::cli {

enum class Verb {
    none,  // `tavix` alone, or with --help or --version
    status,
    pair,
    phone,  // `tavix phone` without a subcommand
    phonePair,
    phoneConnect,
    pause,
    resume,
    restart,
    login,
    notifications,
    disconnect,
    logs,
    devices,
    wait,
};

// What the command line asks for.
struct Invocation {
    Verb verb = Verb::none;
    bool help = false;
    bool version = false;
    bool json = false;                   // status --json
    bool watch = false;                  // status --watch
    bool qr = false;                     // phone pair --qr
    bool yes = false;                    // disconnect --yes
    bool follow = false;                 // logs -f
    bool open = false;                   // devices --open
    bool on = false;                     // login on, notifications on
    bool noColour = false;               // --no-color, anywhere
    bool noInput = false;                // --no-input, anywhere
    std::optional<std::string> server;   // pair --server
    std::optional<std::string> address;  // phone pair / connect ADDRESS
    std::optional<std::size_t> lines;    // logs -n
    std::optional<double> timeout;       // wait --timeout, in seconds
};

struct UsageError {
    std::string message;
    Verb verb = Verb::none;  // whose usage to show
};

// Reads the arguments after the program's name.
std::variant<Invocation, UsageError> parseArguments(const std::vector<std::string>& arguments);

// The help of one command, or of the program for Verb::none.
std::string usage(Verb verb);

}  // namespace tavix::cli
