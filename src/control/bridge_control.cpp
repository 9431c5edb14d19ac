#include "control/bridge_control.h"

#include "control/process_text.h"
#include "platform/system/files.h"

namespace tavix {

BridgeControl::BridgeControl(ControlHost& host, const Options& options)
    : host_(host),
      service_(makeServiceManager(options)),
      timeout_(service_->kind() == ServiceManagerKind::systemd ? options.systemctlTimeout : options.launchTimeout) {}

bool BridgeControl::launch(const std::vector<std::string>& arguments, ProcessCompletion completion) {
    return host_.process(service_->program(), arguments, std::nullopt, Environment{}, timeout_, std::move(completion));
}

void BridgeControl::restart() {
    // Decide on what the bridge says now, not on the last timer reading: a restart ends the task it runs.
    host_.readStatus();
    if (host_.working()) {
        host_.alert(std::string(kRestartWhileTask.title), std::string(kRestartWhileTask.text), Outcome::refused);
        return;
    }
    launch(service_->restartArguments(), [this](std::int32_t status, const std::string&) {
        // A restart fails when the bridge is not loaded at all: load it. The restart's output is of no further use.
        if (status != 0) load(service_->loadArguments(), 0);
    });
}

void BridgeControl::load(std::vector<std::vector<std::string>> steps, std::size_t next) {
    if (next >= steps.size()) return;
    auto arguments = steps[next];
    launch(arguments, [this, steps = std::move(steps), next](std::int32_t status, const std::string& output) {
        if (status != 0) {
            const auto command = quotedCommand(service_->program(), steps[next]);
            return host_.alert("Could not start bridge", outputOrStatus(output, command, status), Outcome::failed);
        }
        load(steps, next + 1);
    });
}

void BridgeControl::togglePause() {
    const StateDirectory& state = host_.state();
    auto error = state.paused() ? removeEntry(state.entry("paused")) : state.writePrivate("", "paused");
    if (error) return host_.alert("Could not change pause state", error->description, Outcome::failed);
    host_.refresh();
}

void BridgeControl::toggleLogin() {
    // The marker exists while start at login is off: its presence now says which way to switch.
    const bool wasDisabled = host_.state().loginDisabled();
    const auto launcher = [this](const std::vector<std::string>& arguments, ProcessCompletion completion) {
        return launch(arguments, std::move(completion));
    };
    service_->switchStartAtLogin(launcher, wasDisabled, [this, wasDisabled](std::optional<std::string> failure) {
        const StateDirectory& state = host_.state();
        if (!failure) {
            auto error = wasDisabled ? removeEntry(state.entry("no-login")) : state.writePrivate("", "no-login");
            if (error) failure = error->description;
        }
        if (failure) host_.alert("Could not update login setting", *failure, Outcome::failed);
    });
}

void BridgeControl::disconnect() {
    const bool confirmed = host_.confirm(
        "Disconnect this Mac?",
        "This stops the local bridge and removes its pairing. Other devices are unchanged. Use Devices → Revoke to "
        "invalidate server tokens too.",
        "Disconnect");
    if (!confirmed) return;
    launch(service_->stopArguments(), [this](std::int32_t status, const std::string& output) {
        if (status != 0) {
            // A failed stop only matters while the bridge still runs; one that is not loaded fails too.
            host_.readStatus();
            if (host_.fresh()) {
                const auto command = quotedCommand(service_->program(), service_->stopArguments());
                return host_.alert("Could not stop bridge", outputOrStatus(output, command, status), Outcome::failed);
            }
        }
        const StateDirectory& state = host_.state();
        if (auto error = removeEntry(state.entry("token"))) {
            return host_.alert("Could not disconnect", error->description, Outcome::failed);
        }
        (void)removeEntry(state.entry("status.json"));
        host_.refresh();
    });
}

}  // namespace tavix
