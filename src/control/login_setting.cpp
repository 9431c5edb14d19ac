#include "control/login_setting.h"

#include "app/tavix_menu.h"
#include "platform/files.h"

namespace tavix {

void switchStartAtLogin(TavixMenu& menu) {
    // The marker exists while start at login is off: its presence now says which way to switch.
    const bool wasDisabled = menu.loginDisabled();
    menu.service().switchStartAtLogin(menu, wasDisabled, [&menu, wasDisabled](std::optional<std::string> failure) {
        if (!failure) {
            auto error = wasDisabled ? removeEntry(menu.root() / "no-login") : menu.writePrivate("", "no-login");
            if (error) failure = error->description;
        }
        if (failure) menu.alert("Could not update login setting", *failure);
    });
}

}  // namespace tavix
