#include "control/login_setting.h"

#include "app/tavix_menu.h"
#include "platform/system/files.h"

namespace tavix {

void switchStartAtLogin(TavixMenu& menu) {
    // A switch that waits on the service manager is under way: this one starts from where that one ends.
    if (menu.loginSwitches++ > 0) return;
    // The marker exists while start at login is off: its presence now says which way to switch.
    const bool wasDisabled = menu.loginDisabled();
    menu.service().switchStartAtLogin(menu, wasDisabled, [&menu, wasDisabled](std::optional<std::string> failure) {
        if (!failure) {
            auto error = wasDisabled ? removeEntry(menu.root() / "no-login") : menu.writePrivate("", "no-login");
            if (error) failure = error->description;
        }
        const int waiting = menu.loginSwitches - 1;
        menu.loginSwitches = 0;
        // After a failure the switches asked for meanwhile are dropped: they were meant for a state that did not come.
        if (failure) return menu.alert("Could not update login setting", *failure);
        if (waiting > 0) {
            switchStartAtLogin(menu);
            menu.loginSwitches += waiting - 1;
        }
    });
}

}  // namespace tavix
