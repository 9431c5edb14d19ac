#include "ui/help_actions.h"

#include "app/tavix_menu.h"
#include "platform/system/url.h"

namespace tavix {

std::optional<std::string> devicesPage(const std::string& server) {
    // Appended without normalising: a server ending in "/" gives "//phone", as it always has.
    std::string address = server + "/phone";
    auto parts = parseUrl(address);
    if (!parts || parts->scheme.empty()) return std::nullopt;
    return address;
}

void openDevices(TavixMenu& menu) {
    if (auto address = devicesPage(menu.server())) menu.ports().desktop.openUrl(*address);
}

void openLogs(TavixMenu& menu) {
    menu.ports().desktop.openFile(menu.root() / "log");
}

void explainPermissions(TavixMenu& menu) {
    menu.alert(std::string(kPermissionsHelp.title), std::string(kPermissionsHelp.text));
}

}  // namespace tavix
