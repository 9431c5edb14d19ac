#include "control/launchd_service.h"

#include "control/launch_agent.h"
#include "platform/system/plist_file.h"

namespace tavix {

LaunchdService::LaunchdService(std::string launchctl, uid_t uid, std::filesystem::path home)
    : launchctl_(std::move(launchctl)), uid_(uid), home_(std::move(home)) {}

std::vector<std::string> LaunchdService::restartArguments() const {
    return kickstartArguments(uid_);
}

std::vector<std::vector<std::string>> LaunchdService::loadArguments() const {
    return {bootstrapArguments(uid_, home_)};
}

std::vector<std::string> LaunchdService::stopArguments() const {
    return bootoutArguments(uid_);
}

void LaunchdService::switchStartAtLogin(const Launcher&, bool on,
                                        std::function<void(std::optional<std::string>)> done) const {
    for (std::string_view label : {kBridgeLabel, kMenuLabel}) {
        PlistBooleans values{{"RunAtLoad", on}};
        if (label == kBridgeLabel) values.emplace_back("KeepAlive", on);
        if (auto error = updatePropertyListFile(agentPropertyList(home_, label), values)) {
            return done(error->description);
        }
    }
    done(std::nullopt);
}

}  // namespace tavix
