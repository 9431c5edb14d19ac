#include "ui/status_menu.h"

#include "platform/system/url.h"
#include "platform/system/utf8.h"

namespace tavix {
namespace {

void separator(std::vector<MenuRow>& menu) {
    MenuRow line;
    line.separator = true;
    menu.push_back(std::move(line));
}

// Appends one row, enabled when its command is available now (an information row never is).
MenuRow& row(std::vector<MenuRow>& menu, std::string title, std::optional<Command> command, const Snapshot& now) {
    MenuRow item;
    item.title = std::move(title);
    item.command = command;
    item.enabled = command && availability(*command, now).available();
    menu.push_back(std::move(item));
    return menu.back();
}

// What the bridge and the config say is shown on one row, whatever characters it holds.
std::string phoneRow(const Device& device) {
    return "Phone: " + displayable(device.model, true) + " · " + displayable(phoneLabel(device), true);
}

}  // namespace

const std::string& phoneLabel(const Device& device) {
    return device.state == "device" ? device.screen : device.state;
}

MenuInputs menuInputs(const Status& status, double now, bool paired, bool paused) {
    MenuInputs in;
    in.paused = paused;
    in.connectionLabel = connectionLabel(paired, paused, status, now);
    in.fresh = isFresh(status, now);
    in.now.paired = paired;
    in.now.working = isWorking(status, now);
    in.status = &status;
    return in;
}

std::optional<std::string_view> errorRow(const Status& status, bool fresh) {
    if (!fresh || !status.error) return std::nullopt;
    // Only what the row shows is looked at, however long the error.
    const auto shown = displayPrefix(*status.error, kErrorRowCharacters);
    if (shown.empty()) return std::nullopt;
    return shown;
}

std::vector<MenuRow> statusMenu(const MenuInputs& in) {
    static const Status kEmpty;
    const Status& status = in.status != nullptr ? *in.status : kEmpty;
    std::vector<MenuRow> menu;
    menu.reserve(32);
    const auto info = [&](std::string title) -> MenuRow& { return row(menu, std::move(title), std::nullopt, in.now); };
    const auto action = [&](std::string title, Command command) -> MenuRow& {
        return row(menu, std::move(title), command, in.now);
    };

    info("Tavix Link · " + in.connectionLabel).logo = true;
    info(displayable(hostOrWhole(in.server), true));
    if (in.now.operation) info("Working…");
    if (const auto error = errorRow(status, in.fresh)) info(displayable(*error, true));
    separator(menu);

    if (!in.fresh) {
        info("Phone status unavailable");
    } else {
        if (status.devices.empty()) info("No Android phone connected");
        for (const auto& device : status.devices) info(phoneRow(device));
        if (status.moreDevices > 0) info(morePhones(status.moreDevices));
        info(status.computer ? "Computer tasks available" : "Sign in to Claude or Codex CLI");
    }
    separator(menu);

    action("Connection & Settings…", Command::showSettings);
    action("Open Devices…", Command::openDevices);
    action("Pair / Change Account…", Command::pairAccount);
    action("Pair Android over Wi-Fi…", Command::pairPhone);
    action("Connect Android over Wi-Fi…", Command::connectPhone);
    action("USB Setup Help…", Command::usbHelp);
    separator(menu);

    action(in.paused ? "Resume New Tasks" : "Pause New Tasks", Command::togglePause);
    action("Restart Local Bridge", Command::restart);
    action("Start at Login", Command::toggleLogin).checked = !in.loginDisabled;
    separator(menu);

    action("macOS Permissions…", Command::permissions);
    action("View Logs…", Command::logs);
    action("Update Instructions…", Command::updateHelp);
    action("Disconnect This Mac…", Command::disconnect);
    separator(menu);

    action("Quit Menu Bar App", Command::quit);
    return menu;
}

}  // namespace tavix
