#include "platform/system/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tavix {
namespace {

constexpr const char* kLockName = "app.tavix.menu.lock";

// A folder that only this user can enter and write, so nobody else can create or hold the lock first.
bool privateFolder(const std::filesystem::path& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 0077) == 0;
}

std::filesystem::path fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    // Relative values are invalid for the XDG variables and are ignored.
    if (value == nullptr || *value != '/') return {};
    return value;
}

}  // namespace

std::filesystem::path defaultInstanceLockPath(const std::filesystem::path& home) {
    if (auto runtime = fromEnvironment("XDG_RUNTIME_DIR"); !runtime.empty() && privateFolder(runtime)) {
        return runtime / kLockName;
    }
    auto state = fromEnvironment("XDG_STATE_HOME");
    if (state.empty()) state = home / ".local" / "state";
    return state / "tavix-menu" / kLockName;
}

int acquireInstanceLock(const std::filesystem::path& path) {
    const auto folder = path.parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return -2;
    if (!privateFolder(folder)) return -2;
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
