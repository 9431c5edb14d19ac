#pragma once

#include <filesystem>

#include "control/service_manager.h"

namespace tavix {

inline constexpr std::string_view kBridgeUnit = "app.tavix.link.service";

// The bridge as the systemd user unit "app.tavix.link.service"; this application starts at login through its
// XDG autostart entry.
class SystemdService final : public ServiceManager {
  public:
    SystemdService(std::string systemctl, std::filesystem::path autostartEntry, std::filesystem::path appPath);

    ServiceManagerKind kind() const override { return ServiceManagerKind::systemd; }
    const std::string& program() const override { return systemctl_; }
    std::vector<std::string> restartArguments() const override;
    std::vector<std::vector<std::string>> loadArguments() const override;
    std::vector<std::string> stopArguments() const override;
    // Enables or disables the unit, then writes the autostart entry (hidden when off).
    void switchStartAtLogin(const Launcher& launch, bool on,
                            std::function<void(std::optional<std::string>)> done) const override;

  private:
    std::string systemctl_;
    std::filesystem::path autostartEntry_;
    std::filesystem::path appPath_;
};

}  // namespace tavix
