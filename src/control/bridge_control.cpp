#include "control/bridge_control.h"

#include "app/tavix_menu.h"
#include "control/login_setting.h"
#include "control/process_text.h"
#include "platform/system/files.h"

namespace tavix {

void restartBridge(TavixMenu& menu) {
    // Decide on what the bridge says now, not on the last timer reading: a restart ends the task it runs.
    menu.readStatus();
    if (menu.working()) {
        menu.alert("Task still running", "Wait for the current task to finish before restarting.");
        return;
    }
    menu.launch(menu.service().restartArguments(), [&menu](std::int32_t status, const std::string&) {
        // A restart fails when the bridge is not loaded at all: load it. The restart's output is of no further use.
        if (status != 0) loadBridge(menu, menu.service().loadArguments(), 0);
    });
}

void loadBridge(TavixMenu& menu, std::vector<std::vector<std::string>> steps, std::size_t next) {
    if (next >= steps.size()) return;
    auto arguments = steps[next];
    menu.launch(arguments, [&menu, steps = std::move(steps), next](std::int32_t status, const std::string& output) {
        if (status != 0) {
            const auto command = quotedCommand(menu.service().program(), steps[next]);
            return menu.alert("Could not start bridge", outputOrStatus(output, command, status));
        }
        loadBridge(menu, steps, next + 1);
    });
}

void switchPause(TavixMenu& menu) {
    auto error = menu.paused() ? removeEntry(menu.root() / "paused") : menu.writePrivate("", "paused");
    if (error) {
        menu.alert("Could not change pause state", error->description);
        return;
    }
    menu.refresh();
}

void disconnectMac(TavixMenu& menu) {
    menu.ports().application.activate();
    const bool confirmed = menu.ports().dialogs.confirm(
        "Disconnect this Mac?",
        "This stops the local bridge and removes its pairing. Other devices are unchanged. Use Devices → Revoke to "
        "invalidate server tokens too.",
        "Disconnect");
    if (!confirmed) return;
    menu.launch(menu.service().stopArguments(), [&menu](std::int32_t status, const std::string& output) {
        if (status != 0) {
            // A failed bootout only matters while the bridge still runs; one that is not loaded fails too.
            menu.readStatus();
            if (menu.fresh()) {
                const auto command = quotedCommand(menu.service().program(), menu.service().stopArguments());
                menu.alert("Could not stop bridge", outputOrStatus(output, command, status));
                return;
            }
        }
        if (auto error = removeEntry(menu.root() / "token")) {
            menu.alert("Could not disconnect", error->description);
            return;
        }
        (void)removeEntry(menu.root() / "status.json");
        menu.refresh();
    });
}

void TavixMenu::launch(const std::vector<std::string>& arguments, ProcessCompletion completion) {
    const double timeout =
        service_->kind() == ServiceManagerKind::systemd ? options_.systemctlTimeout : options_.launchTimeout;
    process(service_->program(), arguments, std::nullopt, Environment{}, timeout, std::move(completion));
}

void TavixMenu::restart() {
    restartBridge(*this);
}

void TavixMenu::togglePause() {
    switchPause(*this);
}

void TavixMenu::toggleLogin() {
    switchStartAtLogin(*this);
}

void TavixMenu::disconnect() {
    disconnectMac(*this);
}

}  // namespace tavix
