#include "cli/arguments.h"

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
    {"notifications", Verb::notifications},
};

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

std::variant<Invocation, UsageError> parseArguments(const std::vector<std::string>& arguments) {
    Invocation invocation;
    if (arguments.empty()) return UsageError{"a command is needed", Verb::none};
    const std::string& first = arguments[0];
    if (isHelp(first) || first == "help") {
        invocation.help = true;
        return invocation;
    }
    if (first == "--version") {
        invocation.version = true;
        return invocation;
    }
    auto verb = kVerbs.find(first);
    if (verb == kVerbs.end()) {
        return UsageError{(first[0] == '-' ? "unknown option '" : "unknown command '") + first + "'", Verb::none};
    }
    invocation.verb = verb->second;
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
            return UsageError{"unknown phone command '" + arguments[1] + "'", Verb::phone};
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
                   "  pair [--server URL]        pair this computer with a Tavix account\n"
                   "  phone pair [ADDRESS]       pair an Android phone with its pairing code\n"
                   "  phone pair --qr            pair an Android phone by QR code\n"
                   "  phone connect [ADDRESS]    connect a paired Android phone over Wi-Fi\n"
                   "  pause, resume              stop or start taking new tasks\n"
                   "  restart                    restart the local bridge\n"
                   "  login on|off               start the bridge at login, or not\n"
                   "  notifications on|off       desktop notifications from the tray, or none\n"
                   "  disconnect [--yes]         stop the bridge and remove this computer's pairing\n"
                   "  logs [-f]                  print the bridge's log, and follow it with -f\n"
                   "  devices [--open]           print the address of the server's devices page\n"
                   "\n"
                   "Options:\n"
                   "  -h, --help                 this help; 'tavix COMMAND --help' for one command\n"
                   "  --version                  the version\n"
                   "\n"
                   "The state directory is ~/.tavix, or $TAVIX_HOME when set. See tavix(1).\n";
        case Verb::status:
            return "Usage: tavix status [--json] [--watch]\n"
                   "\n"
                   "Prints what the tray menu shows, one line each: the connection, the server, the last error,\n"
                   "the phones and computer tasks; then whether new tasks are paused, the bridge starts at login\n"
                   "and this computer is paired.\n"
                   "\n"
                   "  --json   one JSON object: connection, server, host, paired, paused, startAtLogin, fresh,\n"
                   "           working, error, phones (model, state, label) and computer\n"
                   "  --watch  print again whenever the state changes, and at least every 3 seconds\n";
        case Verb::pair:
            return "Usage: tavix pair [--server URL]\n"
                   "\n"
                   "Pairs this computer with a Tavix account, with a 6-digit code from the server's\n"
                   "Devices → Link a computer. The first pairing also installs the bridge. Asks for the server\n"
                   "(default: the current one) and the code, or reads them as lines from standard input.\n"
                   "\n"
                   "  --server URL  the server's HTTPS address, instead of asking for it\n";
        case Verb::phone:
        case Verb::phonePair:
        case Verb::phoneConnect:
            return "Usage: tavix phone pair [ADDRESS]\n"
                   "       tavix phone pair --qr\n"
                   "       tavix phone connect [ADDRESS]\n"
                   "\n"
                   "Pairs or connects an Android phone over Wi-Fi with adb. ADDRESS is HOST:PORT from the phone's\n"
                   "Wireless debugging screen; it is asked for when missing. The pairing code is read from the\n"
                   "terminal without echo, or as a line from standard input, never from the command line.\n"
                   "\n"
                   "  --qr  show a QR code for the phone's \"Pair device with QR code\", then pair and connect\n"
                   "        the phone that scans it (needs adb 30 or later)\n";
        case Verb::pause:
        case Verb::resume:
            return "Usage: tavix pause\n"
                   "       tavix resume\n"
                   "\n"
                   "Stops the bridge from taking new tasks (the current one finishes), or lets it take them again.\n";
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
            return "Usage: tavix logs [-f]\n"
                   "\n"
                   "Prints the bridge's log.\n"
                   "\n"
                   "  -f, --follow  keep printing what the bridge adds, until Ctrl-C\n";
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
