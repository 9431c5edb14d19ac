#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tavix {

// Far more than anything honest writes into the state directory; a larger file reads as missing.
inline constexpr std::size_t kMaxStateFileBytes = 16 * 1024 * 1024;

// The whole content of a file, or nothing when it is missing, unreadable or larger than `limit` bytes. Past its
// first few kilobytes only a regular file is read on, so a device or a FIFO under the name costs next to nothing.
std::optional<std::string> readFile(const char* path, std::size_t limit = kMaxStateFileBytes);
inline std::optional<std::string> readFile(const std::filesystem::path& path, std::size_t limit = kMaxStateFileBytes) {
    return readFile(path.c_str(), limit);
}

// What tells one version of a file from another without reading it: the same identity is the same content, unless
// the file was written in place within the file system's timestamp granularity (see settled()).
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedNs = 0;
    long long changedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path`, or nothing when there is none.
std::optional<FileIdentity> identityOf(const char* path);

// The file was last changed long enough ago (a tenth of a second) that a write in place within the same timestamp
// can no longer follow unseen.
bool settled(const FileIdentity& identity);

// Whether an entry of any kind exists at `path` (a link counts when its target exists).
bool entryExists(const char* path);
inline bool entryExists(const std::filesystem::path& path) {
    return entryExists(path.c_str());
}

// Writes all of `data` to `fd`, going on after interruptions and short writes. Returns 0, or the errno that ended it.
int writeFully(int fd, std::string_view data);

// Flushes a directory's entries to disk, so a rename in it survives a power cut. Failures are ignored.
void syncDirectory(const std::filesystem::path& directory);

// Creates `directory` and any missing parents with mode 0700; existing ones keep their permissions. The error has
// the domain "Directory".
[[nodiscard]] std::optional<Error> makePrivateDirectories(const std::filesystem::path& directory);

// Removes a file, a link or an empty directory. A non-empty directory is refused rather than emptied.
std::optional<Error> removeEntry(const std::filesystem::path& path);

}  // namespace tavix
