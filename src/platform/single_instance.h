#pragma once

#include <filesystem>

namespace tavix {

// $XDG_RUNTIME_DIR/app.tavix.menu.lock, else a per-user name in the temporary directory.
std::filesystem::path defaultInstanceLockPath();

// Takes the exclusive lock that marks the running copy. Returns the descriptor to keep open for the life of the
// process, -1 when another copy holds the lock, or -2 when the lock file cannot be used (then we run anyway).
int acquireInstanceLock(const std::filesystem::path& path);

}  // namespace tavix
