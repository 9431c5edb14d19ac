#pragma once

#include <filesystem>

namespace tavix {

// The absolute path of the running program, or an empty path when the system cannot tell.
std::filesystem::path executablePath();

}  // namespace tavix
