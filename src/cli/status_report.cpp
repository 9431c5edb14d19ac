#include "cli/status_report.h"

#include <cstdint>

#include "platform/system/url.h"
#include "ui/status_menu.h"

namespace tavix::cli {
namespace {

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

// One word per connection state, for scripts: the labels are for people and may be reworded.
const char* stateWord(Connection state) {
    switch (state) {
        case Connection::notPaired:
            return "not-paired";
        case Connection::pausing:
            return "pausing";
        case Connection::paused:
            return "paused";
        case Connection::notRunning:
            return "not-running";
        case Connection::task:
            return "task";
        case Connection::connected:
            return "connected";
        case Connection::unreachable:
            return "unreachable";
    }
    return "";
}

}  // namespace

std::vector<std::string> statusLines(const StatusReading& reading) {
    std::vector<std::string> lines;
    for (const MenuRow& row : reading.rows) {
        // The information rows end where the commands begin.
        if (row.command) break;
        if (!row.separator) lines.push_back(row.title);
    }
    lines.push_back("Paused: " + yesNo(reading.paused));
    lines.push_back("Start at login: " + yesNo(reading.startAtLogin));
    lines.push_back("Paired: " + yesNo(reading.paired));
    return lines;
}

nlohmann::ordered_json statusJson(const StatusReading& reading) {
    const bool fresh = reading.fresh;
    const Status& status = reading.status;
    auto phones = nlohmann::ordered_json::array();
    if (fresh) {
        for (const Device& device : status.devices) {
            phones.push_back({{"model", device.model}, {"state", device.state}, {"label", phoneLabel(device)}});
        }
    }
    nlohmann::ordered_json error = nullptr;
    if (fresh && status.error && !status.error->empty()) error = *status.error;
    return {{"connection", reading.connection},
            {"state", stateWord(reading.state)},
            {"at", static_cast<std::int64_t>(reading.at)},
            {"server", reading.server},
            {"host", hostOrWhole(reading.server)},
            {"paired", reading.paired},
            {"paused", reading.paused},
            {"startAtLogin", reading.startAtLogin},
            {"fresh", fresh},
            {"working", reading.working},
            {"error", error},
            {"phones", phones},
            {"morePhones", fresh ? status.moreDevices : 0},
            {"computer", fresh && status.computer}};
}

bool bridgeConnected(const StatusReading& reading) {
    return reading.paired && reading.fresh && reading.status.connected;
}

}  // namespace tavix::cli
