#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/single_instance.h"
#include "state/state_directory.h"

namespace tavix {

enum class ServiceManagerKind { launchd, systemd };

// How this run of the application is set up: where things are and how long they may take.
struct Options {
    std::filesystem::path home = userHome();
    std::vector<std::string> arguments;  // the command line, the program first
    std::filesystem::path appPath;       // the running executable
    // The running copy's lock when there is no session bus.
    std::filesystem::path instanceLock = defaultInstanceLockPath(home);
    // Programs the application runs; tests point them at scripts.
    std::string launchctl = "/bin/launchctl";
    std::string systemctl = "/usr/bin/systemctl";
    std::string shell = "/bin/sh";
    // Where the computer's user-visible name is kept (PRETTY_HOSTNAME).
    std::filesystem::path machineInfo = "/etc/machine-info";
    // The service manager that runs the bridge; left open, launchd where /bin/launchctl exists, else systemd.
    std::optional<ServiceManagerKind> serviceManager;
    // Time limits, in seconds. systemctl waits as long as systemd's own job time-outs (90 s by default) and more.
    double launchTimeout = 30;
    double systemctlTimeout = 120;
    double setupTimeout = 420;
    double adbTimeout = 30;
    // A request ends once nothing has come for its idle limit, and in any case at its ceiling.
    double claimIdle = 20;
    double claimCeiling = 120;
    double downloadIdle = 25;
    double downloadCeiling = 600;
    // Pairing a phone by QR code: from the code's showing to the phone's connection, and between two looks for it.
    double qrTotal = 120;
    double qrInterval = 1;
};

}  // namespace tavix
