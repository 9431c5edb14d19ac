#include "control/service_manager.h"

#include <unistd.h>

#include "control/autostart_entry.h"
#include "control/launchd_service.h"
#include "control/systemd_service.h"
#include "platform/system/files.h"

namespace tavix {

std::unique_ptr<ServiceManager> makeServiceManager(const Options& options) {
    const ServiceManagerKind kind = options.serviceManager.value_or(
        entryExists("/bin/launchctl") ? ServiceManagerKind::launchd : ServiceManagerKind::systemd);
    if (kind == ServiceManagerKind::launchd) {
        return std::make_unique<LaunchdService>(options.launchctl, ::getuid(), options.home);
    }
    return std::make_unique<SystemdService>(options.systemctl, autostartEntryPath(options.home), options.appPath);
}

}  // namespace tavix
