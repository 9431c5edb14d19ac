#include "cli/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/system/posix_error.h"

namespace tavix::cli {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

}  // namespace

std::optional<Error> LogFile::open() {
    const std::string what = "Could not read " + path_.string();
    struct stat info {};
    // Looked at before it is opened: opening a device may already do something.
    if (::stat(path_.c_str(), &info) != 0) return posixError(errno, what);
    if (!S_ISREG(info.st_mode)) return Error{std::string(kPosixDomain), EINVAL, what + ": not a regular file"};
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) return posixError(errno, what);
    if (!S_ISREG(info.st_mode)) return Error{std::string(kPosixDomain), EINVAL, what + ": not a regular file"};
    fd_ = std::move(fd);
    device_ = info.st_dev;
    inode_ = info.st_ino;
    offset_ = 0;
    end_ = info.st_size;
    return std::nullopt;
}

void LogFile::startAtLastLines(std::size_t lines) {
    offset_ = 0;
    if (lines == 0) offset_ = end_;
    // Backwards from the end, a block at a time; the line feed that ends the log ends its last line.
    char block[kBlock];
    std::size_t found = 0;
    for (off_t to = end_; to > 0 && found < lines;) {
        const off_t from = std::max<off_t>(0, to - static_cast<off_t>(sizeof block));
        const ssize_t got = ::pread(fd_.get(), block, static_cast<std::size_t>(to - from), from);
        if (got != to - from) return;
        for (off_t at = to - 1; at >= from && found < lines; --at) {
            if (block[at - from] == '\n' && at != end_ - 1 && ++found == lines) offset_ = at + 1;
        }
        to = from;
    }
}

bool LogFile::read(std::string& into, std::size_t limit, bool follow) {
    bool replaced = false;
    if (follow) {
        struct stat now {};
        replaced = ::stat(path_.c_str(), &now) == 0 && (!fd_.valid() || now.st_dev != device_ || now.st_ino != inode_);
        // Cut short: what is there now is new.
        if (!replaced && fd_.valid() && ::fstat(fd_.get(), &now) == 0 && now.st_size < offset_) offset_ = 0;
    }
    if (readRange(into, limit, follow ? std::numeric_limits<off_t>::max() : end_)) return true;
    // Rotated: the old file is finished, the new one is read from its start.
    return replaced && !open();
}

bool LogFile::readRange(std::string& into, std::size_t limit, off_t end) {
    if (!fd_.valid()) return false;
    std::size_t got = 0;
    while (got < limit && offset_ < end) {
        const auto want = static_cast<std::size_t>(
            std::min<off_t>({static_cast<off_t>(kBlock), static_cast<off_t>(limit - got), end - offset_}));
        const std::size_t size = into.size();
        into.resize(size + want);
        const ssize_t read = ::pread(fd_.get(), into.data() + size, want, offset_);
        into.resize(size + static_cast<std::size_t>(std::max<ssize_t>(read, 0)));
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) return false;
        got += static_cast<std::size_t>(read);
        offset_ += read;
    }
    return got >= limit;
}

}  // namespace tavix::cli
