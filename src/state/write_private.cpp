#include "state/write_private.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/system/files.h"
#include "platform/system/uuid.h"

namespace tavix {
namespace {

std::string quoted(const std::filesystem::path& path) {
    return "“" + path.string() + "”";
}

}  // namespace

std::optional<Error> writePrivate(const std::filesystem::path& directory, std::string_view data,
                                  std::string_view name) {
    auto normal = directory.lexically_normal();
    if (normal.has_relative_path() && !normal.has_filename()) normal = normal.parent_path();
    if (auto error = makePrivateDirectories(normal)) return error;

    const auto target = directory / name;
    const auto temporary = directory / (".menu-" + makeUuid());

    // Exclusive creation that never follows a link, so nothing planted under the name is written through.
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        int err = errno;
        return Error{std::string(kTavixDomain), 1,
                     "Could not write a new file in " + quoted(directory) + ": " + std::strerror(err)};
    }
    // The umask may have taken bits away; the file is exactly 0600 whatever it was.
    int err = ::fchmod(fd, 0600) == 0 ? 0 : errno;
    if (err == 0) err = writeFully(fd, data);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(temporary.c_str());
        return Error{std::string(kTavixDomain), 1,
                     "Could not write a new file in " + quoted(directory) + ": " + std::strerror(err)};
    }

    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        int renameErr = errno;
        ::unlink(temporary.c_str());
        return Error{std::string(kPosixDomain), renameErr,
                     "Could not save " + quoted(target.filename()) + ": " + std::strerror(renameErr)};
    }
    // Make the rename itself durable, so a power cut cannot bring back an empty or missing file.
    syncDirectory(directory);
    return std::nullopt;
}

}  // namespace tavix
