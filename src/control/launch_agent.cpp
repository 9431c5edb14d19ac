#include "control/launch_agent.h"

namespace tavix {

std::string domainTarget(uid_t uid) {
    return "gui/" + std::to_string(uid);
}

std::string serviceTarget(uid_t uid) {
    return domainTarget(uid) + "/" + std::string(kBridgeLabel);
}

std::filesystem::path agentPropertyList(const std::filesystem::path& home, std::string_view label) {
    return home / "Library" / "LaunchAgents" / (std::string(label) + ".plist");
}

std::vector<std::string> kickstartArguments(uid_t uid) {
    return {"kickstart", "-k", serviceTarget(uid)};
}

std::vector<std::string> bootstrapArguments(uid_t uid, const std::filesystem::path& home) {
    return {"bootstrap", domainTarget(uid), agentPropertyList(home, kBridgeLabel).string()};
}

std::vector<std::string> bootoutArguments(uid_t uid) {
    return {"bootout", serviceTarget(uid)};
}

}  // namespace tavix
