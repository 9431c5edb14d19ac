#pragma once

#include <sys/types.h>

#include <filesystem>

#include "control/service_manager.h"

namespace tavix {

// The bridge as the LaunchAgent "app.tavix.link" in the user's "gui/<uid>" domain.
class LaunchdService final : public ServiceManager {
  public:
    LaunchdService(std::string launchctl, uid_t uid, std::filesystem::path home);

    ServiceManagerKind kind() const override { return ServiceManagerKind::launchd; }
    const std::string& program() const override { return launchctl_; }
    std::vector<std::string> restartArguments() const override;
    std::vector<std::vector<std::string>> loadArguments() const override;
    std::vector<std::string> stopArguments() const override;
    // "RunAtLoad" in both LaunchAgent lists, and "KeepAlive" in the bridge's.
    void switchStartAtLogin(const Launcher& launch, bool on,
                            std::function<void(std::optional<std::string>)> done) const override;

  private:
    std::string launchctl_;
    uid_t uid_;
    std::filesystem::path home_;
};

}  // namespace tavix
