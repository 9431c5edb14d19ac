#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/status_item.h"

namespace tavix::test {

inline MenuRow row(std::string title, std::optional<Command> command = {}, bool enabled = true,
                   std::optional<bool> checked = {}, bool logo = false) {
    return {false, std::move(title), command, enabled, checked, logo};
}
inline const MenuRow kSeparator{true, "", {}, false, {}, false};

// A menu of every kind of row for the tray tests; the host's title holds the mnemonic markers of both toolkits.
inline const std::vector<MenuRow> kTrayRows = {
    row("Tavix Link · Connected", {}, false, {}, true),
    row("Q&A_host.example", {}, false),
    kSeparator,
    row("Connection & Settings…", Command::showSettings),
    row("Restart Local Bridge", Command::restart, false),
    row("Start at Login", Command::toggleLogin, true, true),
    kSeparator,
    row("Quit Menu Bar App", Command::quit),
};

// The application's side of a tray item: what it was sent, and what it does when the menu is about to open.
struct RecordingDelegate final : StatusItemDelegate {
    void menuWillOpen() override { onOpen(); }
    void perform(Command command) override { performed.push_back(command); }
    std::function<void()> onOpen = [] {};
    std::vector<Command> performed;
};

}  // namespace tavix::test
