#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

struct ChildRequest {
    std::string executable;                // a path; PATH is not searched
    std::vector<std::string> arguments;    // after the program itself
    std::vector<std::string> environment;  // the whole environment, "NAME=value"
    std::string input;                     // bytes for standard input; empty sends nothing
    double timeout = 30;                   // seconds until the child's process group is asked to end
    // Takes the output (standard output and standard error through one pipe, in write order) as it arrives, on the
    // thread that runs the child.
    std::function<void(std::string_view)> output;
};

struct ChildResult {
    bool started = false;
    // Exit code, or the number of the signal that ended the child; -1 when it could not be started.
    std::int32_t status = -1;
    // Why the child could not be started, readable.
    std::string startError;
    // The run reached its time limit.
    bool timedOut = false;
    // The run was asked to end the child before it finished (endChildren()).
    bool endedEarly = false;
};

// Starts the child and blocks until it has exited and its output has reached end of file, handing every byte of
// the output to `request.output`. The child gets only
// descriptors 0 (a pipe fed with `input`, then closed), 1 and 2 (one pipe for both), default signal handling,
// an empty signal mask and a process group of its own. At the time limit the whole group is sent SIGTERM, so
// what the child waits on or left running ends too; a grace period later (at most 5 seconds) whatever is left of
// the group is killed and the output no longer waited for, since a descendant that left the group may hold it
// open. Blocks the calling thread, so call it on a worker.
ChildResult runChild(const ChildRequest& request);

// The result of a child that could not be started: -1 and the system's reason (an errno value), readable.
ChildResult startFailure(const std::string& executable, int err);

}  // namespace tavix
