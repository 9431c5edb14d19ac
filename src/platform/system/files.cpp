#include "platform/system/files.h"
#include "platform/system/posix_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace tavix {

std::optional<std::string> readFile(const char* path, std::size_t limit) {
    // Non-blocking, so a FIFO planted under the name cannot hang the caller; a directory fails at read().
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    // The state files are small and read every few seconds: one read() usually takes the whole file. A short read
    // of a regular file means its end, so no fstat() and no read() of the end are needed.
    std::string content(std::min<std::size_t>(4096, limit + 1), '\0');
    std::size_t used = 0;
    bool failed = false;
    bool checked = false;
    for (;;) {
        ssize_t got = ::read(fd, content.data() + used, content.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            failed = true;
            break;
        }
        used += static_cast<std::size_t>(got);
        if (used < content.size() || used > limit) break;
        std::size_t room = content.size() * 4;
        if (!checked) {
            // Past the first block, only a regular file within the limit is read on (a device such as /dev/zero
            // never ends), and its size says how much room to make at once.
            checked = true;
            struct stat info {};
            if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > limit) {
                failed = true;
                break;
            }
            // One byte more tells the end; the rest is the padding a JSON parser reads past the text.
            room = std::max(room, static_cast<std::size_t>(info.st_size) + 1 + 64);
        }
        content.resize(std::min(room, limit + 1));
    }
    ::close(fd);
    if (failed || used > limit) return std::nullopt;
    content.resize(used);
    return content;
}

std::optional<FileIdentity> identityOf(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0) return std::nullopt;
    const auto ns = [](const timespec& time) { return time.tv_sec * 1'000'000'000LL + time.tv_nsec; };
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim), ns(info.st_ctim)};
}

bool settled(const FileIdentity& identity) {
    // Timestamps come from the kernel's coarse clock, a tick (up to 10 ms) behind: a tenth of a second covers it.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    const long long nowNs = now.tv_sec * 1'000'000'000LL + now.tv_nsec;
    return nowNs - identity.changedNs > 100'000'000LL;
}

bool entryExists(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0;
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

int writeFully(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t wrote = ::write(fd, data.data(), data.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return errno;
        if (wrote == 0) return EIO;
        data.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return 0;
}

void syncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

namespace {

std::string quoted(const std::filesystem::path& path) {
    return "“" + path.string() + "”";
}

}  // namespace

std::optional<Error> makePrivateDirectories(const std::filesystem::path& directory) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return std::nullopt;
        return Error{std::string(kDirectoryDomain), ENOTDIR,
                     "Could not create the folder " + quoted(directory) + ": " + std::strerror(ENOTDIR)};
    }
    if (directory.has_parent_path() && directory.parent_path() != directory) {
        if (auto error = makePrivateDirectories(directory.parent_path())) return error;
    }
    if (::mkdir(directory.c_str(), 0700) != 0) {
        int err = errno;
        if (err == EEXIST) return std::nullopt;
        return Error{std::string(kDirectoryDomain), err,
                     "Could not create the folder " + quoted(directory) + ": " + std::strerror(err)};
    }
    // The umask may have taken bits we need (0277 leaves 0500, which we could not write into): ours is 0700.
    if (::chmod(directory.c_str(), 0700) != 0) {
        int err = errno;
        return Error{std::string(kDirectoryDomain), err,
                     "Could not make the folder " + quoted(directory) + " private: " + std::strerror(err)};
    }
    return std::nullopt;
}

}  // namespace tavix
