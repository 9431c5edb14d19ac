#include "ui/help_actions.h"

#include "app/tavix_menu.h"
#include "platform/url.h"

namespace tavix {

void openDevices(TavixMenu& menu) {
    // Appended without normalising: a server ending in "/" gives "//phone", as it always has.
    const std::string address = menu.server() + "/phone";
    auto parts = parseUrl(address);
    if (!parts || parts->scheme.empty()) return;
    menu.ports().desktop.openUrl(address);
}

void openLogs(TavixMenu& menu) {
    menu.ports().desktop.openFile(menu.root() / "log");
}

void explainPermissions(TavixMenu& menu) {
    menu.alert(std::string(kPermissionsHelp.title), std::string(kPermissionsHelp.text));
}

}  // namespace tavix
