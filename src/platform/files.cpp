#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tavix {

std::optional<std::string> readFile(const std::filesystem::path& path, std::size_t limit) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > limit) {
        ::close(fd);
        return std::nullopt;
    }
    // The file may grow while it is read: read at most one byte past the limit to notice.
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() > limit) break;
            content.resize(std::min(limit + 1, std::max<std::size_t>(content.size() * 2, 4096)));
        }
        ssize_t got = ::read(fd, content.data() + used, content.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (used > limit) return std::nullopt;
    content.resize(used);
    return content;
}

bool entryExists(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<Error> removeEntry(const std::filesystem::path& path) {
    if (::unlink(path.c_str()) == 0) return std::nullopt;
    int err = errno;
    if (err == EISDIR || err == EPERM) {
        if (::rmdir(path.c_str()) == 0) return std::nullopt;
        if (errno != ENOTDIR) err = errno;
    }
    return posixError(err, "Could not remove “" + path.filename().string() + "”");
}

}  // namespace tavix
