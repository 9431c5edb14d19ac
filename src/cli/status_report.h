#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/menu_row.h"
#include "state/status.h"

namespace tavix::cli {

// One reading of everything `tavix status` shows.
struct StatusReading {
    std::vector<MenuRow> rows;  // the status menu's rows
    Status status;
    std::string connection;  // the connection label
    Connection state = Connection::notPaired;
    double at = 0;  // when it was read, in milliseconds since 1970
    std::string server;
    bool fresh = false;
    bool working = false;
    bool paired = false;
    bool paused = false;
    bool startAtLogin = false;
};

// What `tavix status` prints: the status menu's information rows, in its order and words, then whether new tasks are
// paused, the bridge starts at login and this computer is paired.
std::vector<std::string> statusLines(const StatusReading& reading);

// The same as one JSON object; phones, error and computer only from a fresh status, as the menu shows them.
nlohmann::ordered_json statusJson(const StatusReading& reading);

// The bridge runs and is connected to its server, whether it runs a task or new tasks are paused.
bool bridgeConnected(const StatusReading& reading);

}  // namespace tavix::cli
