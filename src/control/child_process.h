#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavix {

struct ChildRequest {
    std::string executable;                // a path; PATH is not searched
    std::vector<std::string> arguments;    // after the program itself
    std::vector<std::string> environment;  // the whole environment, "NAME=value"
    std::string input;                     // bytes for standard input; empty sends nothing
    double timeout = 30;                   // seconds until the one termination request
};

struct ChildResult {
    bool started = false;
    // Exit code, or the number of the signal that ended the child; -1 when it could not be started.
    std::int32_t status = -1;
    // The shaped output, or why the child could not be started.
    std::string output;
};

// Starts the child and blocks until it has exited and its output has reached end of file. The child gets only
// descriptors 0 (a pipe fed with `input`, then closed), 1 and 2 (one pipe for both), default signal handling
// and an empty signal mask. Blocks the calling thread, so call it on a worker.
ChildResult runChild(const ChildRequest& request);

// The result of a child that could not be started: -1 and the system's reason (an errno value), readable.
ChildResult startFailure(const std::string& executable, int err);

}  // namespace tavix
