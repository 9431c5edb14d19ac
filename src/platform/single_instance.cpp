#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace tavix {

std::filesystem::path defaultInstanceLockPath() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        return std::filesystem::path(runtime) / "app.tavix.menu.lock";
    }
    std::error_code error;
    auto temporary = std::filesystem::temp_directory_path(error);
    if (error) temporary = "/tmp";
    return temporary / ("app.tavix.menu-" + std::to_string(::getuid()) + ".lock");
}

int acquireInstanceLock(const std::filesystem::path& path) {
    // Close-on-exec: a child program must not inherit the lock and keep it after we quit.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -2;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? -1 : -2;
    }
    return fd;
}

}  // namespace tavix
