#pragma once

#include <optional>
#include <string>

#include "platform/command.h"

namespace tavix {

// One row of the status menu as the toolkit should show it.
struct MenuRow {
    bool separator = false;
    std::string title;
    std::optional<Command> command;  // none for an information row
    bool enabled = false;
    std::optional<bool> checked;  // set only for a row that shows a checkmark state
    bool logo = false;            // the row carries the application logo

    bool operator==(const MenuRow&) const = default;
};

}  // namespace tavix
