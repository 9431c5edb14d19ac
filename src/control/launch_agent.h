#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

// launchd labels of the bridge and of this application.
inline constexpr std::string_view kBridgeLabel = "app.tavix.link";
inline constexpr std::string_view kMenuLabel = "app.tavix.menu";

// "gui/<uid>": the user's login session domain.
std::string domainTarget(uid_t uid);
// "gui/<uid>/app.tavix.link": the bridge's service in that domain.
std::string serviceTarget(uid_t uid);
// home/Library/LaunchAgents/<label>.plist, wherever the state directory is.
std::filesystem::path agentPropertyList(const std::filesystem::path& home, std::string_view label);

// The launchctl command lines, without the program itself.
std::vector<std::string> kickstartArguments(uid_t uid);
std::vector<std::string> bootstrapArguments(uid_t uid, const std::filesystem::path& home);
std::vector<std::string> bootoutArguments(uid_t uid);

}  // namespace tavix
