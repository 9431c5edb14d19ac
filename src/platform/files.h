#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/error.h"

namespace tavix {

inline constexpr std::size_t kMaxStateFileBytes = 1024 * 1024;

// The whole content of a regular file, or nothing when it is missing, unreadable or larger than `limit` bytes.
std::optional<std::string> readFile(const char* path, std::size_t limit = kMaxStateFileBytes);
inline std::optional<std::string> readFile(const std::filesystem::path& path, std::size_t limit = kMaxStateFileBytes) {
    return readFile(path.c_str(), limit);
}

// Whether an entry of any kind exists at `path` (a link counts when its target exists).
bool entryExists(const char* path);
inline bool entryExists(const std::filesystem::path& path) { return entryExists(path.c_str()); }

// Creates `directory` and any missing parents with mode 0700; existing ones keep their permissions. The error has
// the domain "Directory".
[[nodiscard]] std::optional<Error> makePrivateDirectories(const std::filesystem::path& directory);

// Removes a file, a link or an empty directory. A non-empty directory is refused rather than emptied.
std::optional<Error> removeEntry(const std::filesystem::path& path);

}  // namespace tavix
