#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/error.h"

namespace tavix {

// Writes `data` as the whole new content of `directory`/`name` so that a reader (or a power cut) sees the old
// content or the new one, never a part. Creates missing directories with mode 0700; the file ends with mode 0600.
// Errors: the directory's creation (domain "Directory"), the temporary file (domain "Tavix", code 1), the rename
// onto the target (domain "POSIX", code errno).
[[nodiscard]] std::optional<Error> writePrivate(const std::filesystem::path& directory, std::string_view data,
                                                std::string_view name);

}  // namespace tavix
