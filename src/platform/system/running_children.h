#pragma once

#include <sys/types.h>

#include <chrono>

namespace tavix {

// The children that runChild() is running, so that they can be ended early: when the user gives up on what one
// does, or when the program is told to stop. A child is entered right after it starts and left before it is
// reaped: while entered, its process number (and its group's) is still its own.

// Enters a child that has just started, with the descriptor that wakes its run; false once stopChildren() has been
// called (the caller then ends it).
[[nodiscard]] bool enterChild(pid_t pid, int wake);
void leaveChild(pid_t pid);

// Asks the run of every child to end it as at its time limit: SIGTERM to its process group, then, what is left of
// the group after at most `grace`, SIGKILL. Returns at once.
void endChildren(std::chrono::milliseconds grace);
// The same, with SIGTERM sent at once, and refuses children started from now on (the program is ending). From then
// on a grace is only ever shortened.
void stopChildren(std::chrono::milliseconds grace);
// SIGKILL to the process group of every child still running, at once: the program ends now.
void killChildren();
// Whether a child is still running (not yet reaped).
bool childrenRunning();

// The grace a run reads when it is woken (the last one asked for).
std::chrono::milliseconds endingGrace();

}  // namespace tavix
