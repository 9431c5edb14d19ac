#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/process_runner.h"
#include "state/options.h"

namespace tavix {

// Runs the service manager's program with these arguments as the operation of the moment; false when it cannot now.
using Launcher = std::function<bool(const std::vector<std::string>& arguments, ProcessCompletion completion)>;

// The system service manager that runs the bridge: the commands that restart, load and stop it, and how start at
// login is switched. Chosen once at start; every command goes through the process runner.
class ServiceManager {
  public:
    virtual ~ServiceManager() = default;
    virtual ServiceManagerKind kind() const = 0;
    // The program that every command line runs.
    virtual const std::string& program() const = 0;
    virtual std::vector<std::string> restartArguments() const = 0;
    // When a restart fails: command lines that load the service afresh and start it, run one after another.
    virtual std::vector<std::vector<std::string>> loadArguments() const = 0;
    virtual std::vector<std::string> stopArguments() const = 0;
    // Switches start at login for the bridge and this application (everything but the "no-login" marker), then
    // calls `done` with what failed, or with nothing on success.
    // A switch that cannot start now calls nothing.
    virtual void switchStartAtLogin(const Launcher& launch, bool on,
                                    std::function<void(std::optional<std::string> failure)> done) const = 0;
};

// launchd where `options.serviceManager` says so or, left open, where /bin/launchctl exists; systemd otherwise.
std::unique_ptr<ServiceManager> makeServiceManager(const Options& options);

}  // namespace tavix
