#include "cli/log_file.h"
#include "platform/system/posix_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavix::cli {

std::optional<Error> LogFile::open() {
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) return posixError(errno, "Could not read " + path_.string());
    if (S_ISDIR(info.st_mode)) return posixError(EISDIR, "Could not read " + path_.string());
    fd_ = std::move(fd);
    device_ = info.st_dev;
    inode_ = info.st_ino;
    offset_ = 0;
    return std::nullopt;
}

void LogFile::copyNew(std::ostream& out) {
    struct stat now {};
    const bool replaced = ::stat(path_.c_str(), &now) == 0 && (now.st_dev != device_ || now.st_ino != inode_);
    // Cut short: what is there now is new.
    if (!replaced && fd_.valid() && ::fstat(fd_.get(), &now) == 0 && now.st_size < offset_) offset_ = 0;
    copyRest(out);
    // Rotated: the old file is finished, the new one is read from its start.
    if (replaced && !open()) copyRest(out);
    out.flush();
}

void LogFile::copyRest(std::ostream& out) {
    if (!fd_.valid()) return;
    char buffer[64 * 1024];
    while (true) {
        const ssize_t got = ::pread(fd_.get(), buffer, sizeof buffer, offset_);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        out.write(buffer, got);
        offset_ += got;
    }
}

}  // namespace tavix::cli
