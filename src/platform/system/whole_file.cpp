#include "platform/system/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/files.h"
#include "platform/system/posix_error.h"
#include "platform/system/uuid.h"

namespace tavix {
namespace {

std::string quotedName(const std::filesystem::path& path) {
    return "“" + path.filename().string() + "”";
}

}  // namespace

std::variant<std::string, Error> readWholeFile(const std::filesystem::path& path, std::size_t limit) {
    const std::string what = "Could not read " + quotedName(path);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return posixError(errno, what);
    struct stat info {};
    int err = 0;
    if (::fstat(fd, &info) != 0) {
        err = errno;
    } else if (S_ISDIR(info.st_mode)) {
        err = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        err = EINVAL;
    } else if (static_cast<std::size_t>(info.st_size) > limit) {
        err = EFBIG;
    }
    std::string content;
    // Read to end of file rather than trusting the size, but never past the limit.
    char buffer[16384];
    while (err == 0) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) err = errno;
        if (got <= 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > limit) err = EFBIG;
    }
    ::close(fd);
    if (err != 0) return posixError(err, what);
    return content;
}

std::optional<Error> replaceWholeFile(const std::filesystem::path& path, std::string_view data) {
    std::error_code error;
    std::filesystem::path target = std::filesystem::canonical(path, error);
    if (error) target = path;
    const std::string what = "Could not save " + quotedName(path);

    mode_t mode = 0644;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) mode = info.st_mode & 0777;

    // A dot name that does not end in ".plist": launchd never picks a leftover up as an agent.
    std::string name = ".";
    name += target.filename().string();
    name += ".menu-";
    name += makeUuid();
    const auto temporary = target.parent_path() / name;
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return posixError(errno, what);
    // Set after creation, so the umask takes nothing away.
    int err = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (err == 0) err = writeFully(fd, data);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temporary.c_str());
        return posixError(err, what);
    }
    syncDirectory(target.parent_path());
    return std::nullopt;
}

}  // namespace tavix
