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

std::string phoneRow(const Device& device) {
    return "Phone: " + device.model + " · " + phoneLabel(device);
}

}  // namespace

const std::string& phoneLabel(const Device& device) {
    return device.state == "device" ? device.screen : device.state;
}

MenuInputs menuInputs(const Status& status, double now, bool paired, bool paused) {
    MenuInputs in;
    in.paired = paired;
    in.paused = paused;
    in.connectionLabel = connectionLabel(paired, paused, status, now);
    in.fresh = isFresh(status, now);
    in.working = isWorking(status, now);
    in.status = &status;
    return in;
}

MenuRow& row(std::vector<MenuRow>& menu, std::string title, std::optional<Command> command) {
    MenuRow item;
    item.title = std::move(title);
    item.command = command;
    item.enabled = command.has_value();
    menu.push_back(std::move(item));
    return menu.back();
}

std::vector<MenuRow> statusMenu(const MenuInputs& in) {
    static const Status kEmpty;
    const Status& status = in.status != nullptr ? *in.status : kEmpty;
    std::vector<MenuRow> menu;
    menu.reserve(32);

    row(menu, "Tavix Link · " + in.connectionLabel, std::nullopt).logo = true;
    row(menu, hostOrWhole(in.server), std::nullopt);
    if (in.operation) row(menu, "Working…", std::nullopt);
    if (in.fresh && status.error) {
        // Only what the row shows is looked at, however long the error.
        const auto shown = displayPrefix(*status.error, kErrorRowCharacters);
        if (!shown.empty()) row(menu, std::string(shown), std::nullopt);
    }
    separator(menu);

    if (!in.fresh) {
        row(menu, "Phone status unavailable", std::nullopt);
    } else {
        if (status.devices.empty()) row(menu, "No Android phone connected", std::nullopt);
        for (const auto& device : status.devices) row(menu, phoneRow(device), std::nullopt);
        if (status.moreDevices > 0) row(menu, morePhones(status.moreDevices), std::nullopt);
        row(menu, status.computer ? "Computer tasks available" : "Sign in to Claude or Codex CLI", std::nullopt);
    }
    separator(menu);

    const bool idle = !in.operation;
    row(menu, "Connection & Settings…", Command::showSettings);
    row(menu, "Open Devices…", Command::openDevices);
    row(menu, "Pair / Change Account…", Command::pairAccount).enabled = idle && !in.working;
    row(menu, "Pair Android over Wi-Fi…", Command::pairPhone).enabled = idle;
    row(menu, "Connect Android over Wi-Fi…", Command::connectPhone).enabled = idle;
    row(menu, "USB Setup Help…", Command::usbHelp);
    separator(menu);

    row(menu, in.paused ? "Resume New Tasks" : "Pause New Tasks", Command::togglePause).enabled = in.paired;
    row(menu, "Restart Local Bridge", Command::restart).enabled = idle && !in.working && in.paired;
    row(menu, "Start at Login", Command::toggleLogin).checked = !in.loginDisabled;
    separator(menu);

    row(menu, "macOS Permissions…", Command::permissions);
    row(menu, "View Logs…", Command::logs);
    row(menu, "Update Instructions…", Command::updateHelp);
    row(menu, "Disconnect This Mac…", Command::disconnect).enabled = in.paired && !in.working && idle;
    separator(menu);

    row(menu, "Quit Menu Bar App", Command::quit);
    return menu;
}

}  // namespace tavix
