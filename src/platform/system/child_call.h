#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <variant>

namespace tavix {

enum class ChildCallFailure {
    couldNotStart,  // no pipe or no process could be made
    failed,         // the copy crashed, ran out of memory or did not finish its answer
    timedOut,       // the copy was still working at the time limit and was ended
};

// Runs `work` in a forked copy of this process and returns the bytes it produced. For calls into a library that may
// crash, recurse without bound or loop on hostile input: only the copy is lost. The copy may use `memoryBytes` more
// memory than this process had, and `limit` of time; it is ended once the limit has passed. `work` must not start
// threads or take locks another thread may hold (the copy has only the calling thread).
std::variant<std::string, ChildCallFailure> callInChild(const std::function<std::string()>& work,
                                                        std::chrono::milliseconds limit, std::size_t memoryBytes);

}  // namespace tavix
