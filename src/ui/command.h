#pragma once

#include <optional>
#include <string_view>

namespace tavix {

// Every command a menu row or a settings-window button can send.
enum class Command {
    showSettings,
    openDevices,
    pairAccount,
    pairPhone,
    connectPhone,
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

std::string_view commandName(Command command);
// The command whose name is `name` (as commandName gives it), if any.
std::optional<Command> commandNamed(std::string_view name);

// Whoever carries the commands out (the application object).
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    virtual void perform(Command command) = 0;
};

}  // namespace tavix
