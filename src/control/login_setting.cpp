#include "control/login_setting.h"

#include "app/tavix_menu.h"
#include "control/launch_agent.h"
#include "platform/files.h"
#include "platform/plist_file.h"

namespace tavix {

void switchStartAtLogin(TavixMenu& menu) {
    const bool wasDisabled = menu.loginDisabled();
    const bool startAtLogin = wasDisabled;
    auto fail = [&menu](const Error& error) { menu.alert("Could not update login setting", error.description); };

    for (std::string_view label : {kBridgeLabel, kMenuLabel}) {
        PlistBooleans values{{"RunAtLoad", startAtLogin}};
        if (label == kBridgeLabel) values.emplace_back("KeepAlive", startAtLogin);
        if (auto error = updatePropertyListFile(agentPropertyList(menu.home(), label), values)) return fail(*error);
    }
    auto error = wasDisabled ? removeEntry(menu.root() / "no-login") : menu.writePrivate("", "no-login");
    if (error) fail(*error);
}

}  // namespace tavix
