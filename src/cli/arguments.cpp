#include "cli/arguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

namespace tavix::cli {
namespace {

const std::map<std::string, Verb, std::less<>> kVerbs{
    {"status", Verb::status},
    {"pair", Verb::pair},
    {"phone", Verb::phone},
    {"pause", Verb::pause},
    {"resume", Verb::resume},
    {"restart", Verb::restart},
    {"login", Verb::login},
    {"disconnect", Verb::disconnect},
    {"logs", Verb::logs},
    {"devices", Verb::devices},
    {"wait", Verb::wait},
    {"notifications", Verb::notifications},
};

// Edits from one word to the other: a letter added, dropped or changed, or two neighbours swapped.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// "unknown command 'WORD'", and the nearest known word when one is near enough to be a slip of the finger.
std::string unknownWord(const std::string& what, const std::string& word, const std::vector<std::string>& known) {
    std::string message = "unknown " + what + " '" + word + "'";
    std::size_t best = std::min<std::size_t>(2, word.size() / 2) + 1;
    std::string nearest;
    for (const auto& candidate : known) {
        if (const std::size_t distance = editDistance(word, candidate); distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest.empty() ? message : message + " (did you mean '" + nearest + "'?)";
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names{"help"};
    for (const auto& [name, verb] : kVerbs) names.push_back(name);
    return names;
}

// A whole number, or a number of seconds above zero.
std::optional<std::size_t> wholeNumber(const std::string& text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}
std::optional<double> seconds(const std::string& text) {
    // strtod, not from_chars: that would bring libm along at every start, for this one option.
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0) return std::nullopt;
    return value;
}

bool isHelp(const std::string& argument) {
    return argument == "-h" || argument == "--help";
}

UsageError unexpected(const std::string& argument, Verb verb) {
    const bool option = !argument.empty() && argument[0] == '-';
    return {(option ? "unknown option '" : "unexpected argument '") + argument + "'", verb};
}

// The options and operands after the command words, each checked against what `verb` accepts.
std::variant<Invocation, UsageError> readRest(Invocation invocation, const std::vector<std::string>& rest) {
    const Verb verb = invocation.verb;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& argument = rest[i];
        if (isHelp(argument)) {
            invocation.help = true;
        } else if (verb == Verb::status && argument == "--json") {
            invocation.json = true;
        } else if (verb == Verb::status && argument == "--watch") {
            invocation.watch = true;
        } else if (verb == Verb::pair && argument == "--server") {
            if (i + 1 >= rest.size()) return UsageError{"--server needs a URL", verb};
            invocation.server = rest[++i];
        } else if (verb == Verb::pair && argument.rfind("--server=", 0) == 0) {
            invocation.server = argument.substr(9);
        } else if (verb == Verb::phonePair && argument == "--qr") {
            invocation.qr = true;
        } else if (verb == Verb::disconnect && (argument == "--yes" || argument == "-y")) {
            invocation.yes = true;
        } else if (verb == Verb::logs && (argument == "-f" || argument == "--follow")) {
            invocation.follow = true;
        } else if (verb == Verb::logs && (argument == "-n" || argument == "--lines")) {
            if (i + 1 >= rest.size() || !(invocation.lines = wholeNumber(rest[i + 1]))) {
                return UsageError{argument + " needs a number of lines", verb};
            }
            ++i;
        } else if (verb == Verb::wait && argument == "--timeout") {
            if (i + 1 >= rest.size() || !(invocation.timeout = seconds(rest[i + 1]))) {
                return UsageError{"--timeout needs a number of seconds above 0", verb};
            }
            ++i;
        } else if (verb == Verb::devices && argument == "--open") {
            invocation.open = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return unexpected(argument, verb);
        } else {
            operands.push_back(argument);
        }
    }
    if (invocation.help) return invocation;

    const bool takesAddress = verb == Verb::phonePair || verb == Verb::phoneConnect;
    if (verb == Verb::login || verb == Verb::notifications) {
        if (operands.size() != 1 || (operands[0] != "on" && operands[0] != "off")) {
            return UsageError{std::string(verb == Verb::login ? "login" : "notifications") + " needs 'on' or 'off'",
                              verb};
        }
        invocation.on = operands[0] == "on";
    } else if (takesAddress && operands.size() == 1) {
        invocation.address = operands[0];
    } else if (!operands.empty()) {
        return unexpected(operands[takesAddress ? 1 : 0], verb);
    }
    if (invocation.qr && invocation.address) return UsageError{"--qr takes no address", verb};
    return invocation;
}

}  // namespace

std::variant<Invocation, UsageError> parseArguments(const std::vector<std::string>& given) {
    Invocation invocation;
    // What every command takes, wherever it stands.
    std::vector<std::string> arguments;
    for (const auto& argument : given) {
        if (argument == "--no-color") {
            invocation.noColour = true;
        } else if (argument == "--no-input") {
            invocation.noInput = true;
        } else {
            arguments.push_back(argument);
        }
    }
    if (arguments.empty()) return UsageError{"a command is needed", Verb::none};
    // `tavix help COMMAND` is `tavix COMMAND --help`.
    const bool helpWord = arguments[0] == "help";
    if (helpWord || isHelp(arguments[0])) {
        invocation.help = true;
        if (!helpWord || arguments.size() == 1) return invocation;
        arguments.erase(arguments.begin());
    }
    const std::string& first = arguments[0];
    if (first == "--version") {
        invocation.version = true;
        return invocation;
    }
    auto verb = kVerbs.find(first);
    if (verb == kVerbs.end()) {
        if (first[0] == '-') return UsageError{"unknown option '" + first + "'", Verb::none};
        return UsageError{unknownWord("command", first, commandNames()), Verb::none};
    }
    invocation.verb = verb->second;
    if (invocation.help) return invocation;
    std::size_t next = 1;
    if (invocation.verb == Verb::phone) {
        if (arguments.size() < 2 || isHelp(arguments[1])) {
            if (arguments.size() < 2) return UsageError{"phone needs 'pair' or 'connect'", Verb::phone};
            invocation.help = true;
            return invocation;
        }
        if (arguments[1] == "pair") {
            invocation.verb = Verb::phonePair;
        } else if (arguments[1] == "connect") {
            invocation.verb = Verb::phoneConnect;
        } else {
            return UsageError{unknownWord("phone command", arguments[1], {"pair", "connect"}), Verb::phone};
        }
        next = 2;
    }
    return readRest(invocation, std::vector<std::string>(arguments.begin() + next, arguments.end()));
}

std::string usage(Verb verb) {
    switch (verb) {
        case Verb::none:
            return "Usage: tavix COMMAND [ARGUMENTS]\n"
                   "\n"
                   "Shows and controls the Tavix bridge from a terminal.\n"
                   "\n"
                   "Commands:\n"
                   "  status [--json] [--watch]  the bridge's state, as the tray menu shows it\n"
                   "  wait [--timeout SECONDS]   wait until the bridge is connected\n"
                   "  pair [--server URL]        pair this computer with a Tavix account\n"
                   "  phone pair [ADDRESS]       pair an Android phone with its pairing code\n"
                   "  phone pair --qr            pair an Android phone by QR code\n"
                   "  phone connect [ADDRESS]    connect a paired Android phone over Wi-Fi\n"
                   "  pause, resume              stop or start taking new tasks\n"
                   "  restart                    restart the local bridge\n"
                   "  login on|off               start the bridge at login, or not\n"
                   "  notifications on|off       desktop notifications from the tray, or none\n"
                   "  disconnect [--yes]         stop the bridge, remove this computer's pairing\n"
                   "  logs [-n LINES] [-f]       print the bridge's log, and follow it with -f\n"
                   "  devices [--open]           print the address of the server's devices page\n"
                   "  help [COMMAND]             this help, or one command's\n"
                   "\n"
                   "Options, for every command:\n"
                   "  --no-input                 never ask: fail when an answer is missing\n"
                   "  --no-color                 no colour (also NO_COLOR=1, TERM=dumb)\n"
                   "  -h, --help                 this help; 'tavix COMMAND --help' for one command\n"
                   "  --version                  the version\n"
                   "\n"
                   "The state directory is ~/.tavix, or $TAVIX_HOME when set. See tavix(1).\n";
        case Verb::status:
            return "Usage: tavix status [--json] [--watch]\n"
                   "\n"
                   "Prints what the tray menu shows, one line each: the connection, the server,\n"
                   "the last error, the phones and computer tasks; then whether new tasks are\n"
                   "paused, the bridge starts at login and this computer is paired.\n"
                   "Exits with 0 when the bridge is connected (during a task or a pause too),\n"
                   "else with 3.\n"
                   "\n"
                   "  --json   one JSON object: connection, state, at, server, host, paired,\n"
                   "           paused, startAtLogin, fresh, working, error, phones (model,\n"
                   "           state, label), morePhones and computer\n"
                   "  --watch  print again whenever a line changes, until interrupted\n";
        case Verb::wait:
            return "Usage: tavix wait [--timeout SECONDS]\n"
                   "\n"
                   "Waits until the bridge is connected, as after a pairing or a restart, and\n"
                   "exits with 0 then. Exits with 1 when SECONDS pass first.\n"
                   "\n"
                   "  --timeout SECONDS  give up after this long (default: wait on)\n";
        case Verb::pair:
            return "Usage: tavix pair [--server URL]\n"
                   "\n"
                   "Pairs this computer with a Tavix account, with a 6-digit code from the\n"
                   "server's Devices → Link a computer. The first pairing also installs the\n"
                   "bridge. Asks for the server (default: the current one) and the code, on the\n"
                   "terminal or as lines on standard input.\n"
                   "\n"
                   "  --server URL  the server's HTTPS address, instead of asking for it\n";
        case Verb::phone:
        case Verb::phonePair:
        case Verb::phoneConnect:
            return "Usage: tavix phone pair [ADDRESS]\n"
                   "       tavix phone pair --qr\n"
                   "       tavix phone connect [ADDRESS]\n"
                   "\n"
                   "Pairs or connects an Android phone over Wi-Fi with adb. ADDRESS is HOST:PORT\n"
                   "from the phone's Wireless debugging screen; it is asked for when missing.\n"
                   "The pairing code is read from the terminal without echo, or as a line on\n"
                   "standard input, never from the command line. Needs adb 30 or later.\n"
                   "\n"
                   "  --qr  show a QR code for the phone's \"Pair device with QR code\", then\n"
                   "        pair and connect the phone that scans it\n";
        case Verb::pause:
        case Verb::resume:
            return "Usage: tavix pause\n"
                   "       tavix resume\n"
                   "\n"
                   "Stops the bridge from taking new tasks (the current one finishes), or lets\n"
                   "it take them again.\n";
        case Verb::restart:
            return "Usage: tavix restart\n"
                   "\n"
                   "Restarts the local bridge, or starts it when it is not running.\n";
        case Verb::login:
            return "Usage: tavix login on|off\n"
                   "\n"
                   "Starts the bridge (and the tray application) at login, or not.\n";
        case Verb::notifications:
            return "Usage: tavix notifications on|off\n"
                   "\n"
                   "Lets the tray application tell, by a desktop notification, when the bridge stays offline or\n"
                   "reports a new error; or turns that off. The desktop's own setting for Tavix Link works too.\n";
        case Verb::disconnect:
            return "Usage: tavix disconnect [--yes]\n"
                   "\n"
                   "Stops the local bridge and removes this computer's pairing, after a question.\n"
                   "\n"
                   "  -y, --yes  do not ask (needed when standard input is not a terminal)\n";
        case Verb::logs:
            return "Usage: tavix logs [-n LINES] [-f]\n"
                   "\n"
                   "Prints the bridge's log.\n"
                   "\n"
                   "  -n, --lines LINES  only the last LINES lines\n"
                   "  -f, --follow       keep printing what the bridge adds, until interrupted;\n"
                   "                     waits for the log when there is none yet\n";
        case Verb::devices:
            return "Usage: tavix devices [--open]\n"
                   "\n"
                   "Prints the address of the server's devices page.\n"
                   "\n"
                   "  --open  also open it in the desktop's browser\n";
    }
    return {};
}

}  // namespace tavix::cli
