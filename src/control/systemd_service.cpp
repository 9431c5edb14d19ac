#include "control/systemd_service.h"

#include "control/autostart_entry.h"
#include "control/process_text.h"
#include "platform/system/files.h"
#include "platform/system/whole_file.h"

namespace tavix {

SystemdService::SystemdService(std::string systemctl, std::filesystem::path autostartEntry,
                               std::filesystem::path appPath)
    : systemctl_(std::move(systemctl)), autostartEntry_(std::move(autostartEntry)), appPath_(std::move(appPath)) {}

std::vector<std::string> SystemdService::restartArguments() const {
    return {"--user", "restart", std::string(kBridgeUnit)};
}

std::vector<std::vector<std::string>> SystemdService::loadArguments() const {
    // daemon-reload reads the unit file afresh, as loading a LaunchAgent reads its list.
    return {{"--user", "daemon-reload"}, {"--user", "start", std::string(kBridgeUnit)}};
}

std::vector<std::string> SystemdService::stopArguments() const {
    return {"--user", "stop", std::string(kBridgeUnit)};
}

namespace {

// This application's part of start at login, once the bridge's unit has been switched.
std::optional<std::string> switchAutostart(const std::filesystem::path& entry, const std::filesystem::path& app,
                                           bool on) {
    // Turned on again where the system starts us at login: our own entry, which hid the system's, goes.
    if (on && systemAutostartEntryExists()) {
        if (!entryExists(entry)) return std::nullopt;
        if (auto error = removeEntry(entry)) return error->description;
        return std::nullopt;
    }
    if (auto error = makePrivateDirectories(entry.parent_path())) return error->description;
    if (auto error = replaceWholeFile(entry, autostartEntry(app, on))) return error->description;
    return std::nullopt;
}

}  // namespace

void SystemdService::switchStartAtLogin(const Launcher& launch, bool on,
                                        std::function<void(std::optional<std::string>)> done) const {
    const std::vector<std::string> arguments{"--user", on ? "enable" : "disable", std::string(kBridgeUnit)};
    launch(arguments, [entry = autostartEntry_, app = appPath_, on, done = std::move(done),
                       command = quotedCommand(systemctl_, arguments)](std::int32_t status, const std::string& output) {
        if (status != 0) return done(outputOrStatus(output, command, status));
        // A unit without an [Install] section cannot be enabled: systemctl says so, changes nothing and
        // exits 0.
        if (on && output.find("no installation config") != std::string::npos) {
            return done("“" + std::string(kBridgeUnit) +
                        "” has no [Install] section, so systemd cannot start the bridge at login.");
        }
        done(switchAutostart(entry, app, on));
    });
}

}  // namespace tavix
