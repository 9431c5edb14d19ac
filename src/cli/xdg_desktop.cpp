#include "cli/xdg_desktop.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

#include "platform/system/posix_error.h"

extern char** environ;

namespace tavix::cli {

void XdgDesktop::open(const std::string& location) {
    failure_.reset();
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(location.c_str()), nullptr};
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    // The command line blocks these signals to read them itself; the browser should not inherit that.
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int err = ::posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (err != 0) {
        failure_ = posixError(err, "Could not start “xdg-open”").description;
        return;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failure_ = "xdg-open could not open " + location + ".";
}

bool desktopAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace tavix::cli
