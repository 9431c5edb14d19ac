#pragma once

#include <optional>
#include <string_view>

namespace tavix {

// Every command a menu row, a settings-window button, another program or the command line can ask for.
enum class Command {
    showSettings,
    openDevices,
    pairAccount,
    pairPhone,
    connectPhone,
    pairPhoneQr,
    usbHelp,
    togglePause,
    restart,
    toggleLogin,
    permissions,
    logs,
    updateHelp,
    disconnect,
    quit,
};

constexpr std::string_view commandName(Command command) {
    switch (command) {
        case Command::showSettings:
            return "showSettings";
        case Command::openDevices:
            return "openDevices";
        case Command::pairAccount:
            return "pairAccount";
        case Command::pairPhone:
            return "pairPhone";
        case Command::connectPhone:
            return "connectPhone";
        case Command::pairPhoneQr:
            return "pairPhoneQr";
        case Command::usbHelp:
            return "usbHelp";
        case Command::togglePause:
            return "togglePause";
        case Command::restart:
            return "restart";
        case Command::toggleLogin:
            return "toggleLogin";
        case Command::permissions:
            return "permissions";
        case Command::logs:
            return "logs";
        case Command::updateHelp:
            return "updateHelp";
        case Command::disconnect:
            return "disconnect";
        case Command::quit:
            return "quit";
    }
    return "unknown";
}

constexpr std::optional<Command> commandNamed(std::string_view name) {
    for (int i = 0; i <= static_cast<int>(Command::quit); ++i) {
        const auto command = static_cast<Command>(i);
        if (commandName(command) == name) return command;
    }
    return std::nullopt;
}

// Whoever carries the commands out (the application object).
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    virtual void perform(Command command) = 0;
};

}  // namespace tavix
