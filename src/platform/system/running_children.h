#pragma once

#include <sys/types.h>

namespace tavix {

// The children that runChild() is running, so that a program told to stop can end them rather than leave them
// behind. A child is entered right after it starts and left before it is reaped: while entered, its process
// number (and its group's) is still its own.

// Enters a child that has just started; false once stopChildren() has been called (the caller then ends it).
[[nodiscard]] bool enterChild(pid_t pid);
void leaveChild(pid_t pid);

// Sends SIGTERM to every running child and to its process group, and refuses children started from now on.
void stopChildren();

}  // namespace tavix
