#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/error.h"

namespace tavix {

// Whole-file reading and replacing for files outside the state directory (the LaunchAgent lists), with errors
// that say which file and why.

// The content of the regular file at `path`, or why it could not be had (missing, unreadable, not a regular file,
// larger than `limit` bytes).
std::variant<std::string, Error> readWholeFile(const std::filesystem::path& path, std::size_t limit);

// Replaces the file at `path` with `data` in one step: a temporary file in the same folder, flushed to disk and
// renamed over the target, so a reader (launchd, or the system after a power cut) sees the old content or the new,
// never a part. The new file keeps the permission bits of the one it replaces (0644 when there was none). A link is
// followed and its target replaced, so a list kept elsewhere and linked in stays where it is.
[[nodiscard]] std::optional<Error> replaceWholeFile(const std::filesystem::path& path, std::string_view data);

}  // namespace tavix
