#include "cli/status_report.h"

#include "app/tavix_menu.h"
#include "platform/system/url.h"
#include "ui/status_menu.h"

namespace tavix::cli {
namespace {

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

}  // namespace

std::vector<std::string> statusLines(const TavixMenu& menu) {
    std::vector<std::string> lines;
    for (const MenuRow& row : menu.menuRows()) {
        // The information rows end where the commands begin.
        if (row.command) break;
        if (!row.separator) lines.push_back(row.title);
    }
    lines.push_back("Paused: " + yesNo(menu.paused()));
    lines.push_back("Start at login: " + yesNo(!menu.loginDisabled()));
    lines.push_back("Paired: " + yesNo(menu.paired()));
    return lines;
}

nlohmann::ordered_json statusJson(const TavixMenu& menu) {
    const bool fresh = menu.fresh();
    const Status& status = menu.status;
    auto phones = nlohmann::ordered_json::array();
    if (fresh) {
        for (const Device& device : status.devices) {
            phones.push_back({{"model", device.model}, {"state", device.state}, {"label", phoneLabel(device)}});
        }
    }
    nlohmann::ordered_json error = nullptr;
    if (fresh && status.error && !status.error->empty()) error = *status.error;
    const std::string server = menu.server();
    return {{"connection", menu.connectionLabel()},
            {"server", server},
            {"host", hostOrWhole(server)},
            {"paired", menu.paired()},
            {"paused", menu.paused()},
            {"startAtLogin", !menu.loginDisabled()},
            {"fresh", fresh},
            {"working", menu.working()},
            {"error", error},
            {"phones", phones},
            {"computer", fresh && status.computer}};
}

}  // namespace tavix::cli
