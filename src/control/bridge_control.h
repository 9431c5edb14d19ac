#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "control/control_host.h"
#include "control/service_manager.h"
#include "state/availability.h"
#include "state/options.h"

namespace tavix {

// The bridge's service commands. Main thread only; every problem ends in one alert, never in an exception.
class BridgeControl {
  public:
    BridgeControl(ControlHost& host, const Options& options);

    // Runs the service manager's program with `arguments` (launchctl, or systemctl --user); false while another
    // operation is under way.
    bool launch(const std::vector<std::string>& arguments, ProcessCompletion completion);
    // Restarts the bridge's service, and loads it when that fails; refused while the bridge reports a task.
    void restart();
    // Creates or removes the "paused" marker, then refreshes.
    void togglePause();
    // Turns start at login on when the "no-login" marker exists, off otherwise: first through the service manager
    // (the bridge's service, then this application), then the marker.
    void toggleLogin();
    // After a confirmation: stops the bridge's service, then removes "token" and "status.json".
    void disconnect();

    const ServiceManager& service() const { return *service_; }

  private:
    // Runs `steps` from `next` on, one after another; the first that fails ends in "Could not start bridge".
    void load(std::vector<std::vector<std::string>> steps, std::size_t next);

    ControlHost& host_;
    std::unique_ptr<ServiceManager> service_;
    double timeout_;
};

}  // namespace tavix
