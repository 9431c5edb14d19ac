#pragma once

#include <filesystem>

namespace tavix {

// Where the lock of the running copy lives when there is no session bus to hold its name: $XDG_RUNTIME_DIR when
// that folder is ours and closed to others (0700), else a folder of our own in the user's state directory
// ($XDG_STATE_HOME, else `home`/.local/state). Never a name in a folder that other users can write.
std::filesystem::path defaultInstanceLockPath(const std::filesystem::path& home);

// Takes the exclusive lock that marks the running copy, creating its folder (0700) when missing. Returns the
// descriptor to keep open for the life of the process, -1 when another copy holds the lock, or -2 when the lock
// cannot be used safely (a folder that is not ours or that others may write; then we run anyway).
int acquireInstanceLock(const std::filesystem::path& path);

}  // namespace tavix
