#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/menu_row.h"
#include "state/availability.h"
#include "state/status.h"

namespace tavix {

// Everything the status menu is built from, read fresh at each build.
struct MenuInputs {
    std::string connectionLabel;
    std::string server;
    bool fresh = false;
    bool paused = false;
    bool loginDisabled = false;
    Snapshot now;  // what decides which commands are available
    const Status* status = nullptr;
};

// The inputs that follow from the status read at `now` and the two markers: the status itself, the connection
// label, fresh and working. The caller adds the server, the login marker and whether a command is under way.
MenuInputs menuInputs(const Status& status, double now, bool paired, bool paused);

// What a phone row says after the model: the screen state of a ready phone, else the phone's state.
const std::string& phoneLabel(const Device& device);

// The rows of the status menu, top to bottom.
std::vector<MenuRow> statusMenu(const MenuInputs& in);

// The error row's text: the first 90 user-perceived characters (of at most 31 code points each).
inline constexpr std::size_t kErrorRowCharacters = 90;

// What the error row shows for this status: nothing when the status is stale or names no error.
std::optional<std::string_view> errorRow(const Status& status, bool fresh);

}  // namespace tavix
