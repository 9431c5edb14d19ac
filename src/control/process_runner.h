#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/main_queue.h"

namespace tavix {

using Environment = std::map<std::string, std::string>;
using ProcessCompletion = std::function<void(std::int32_t status, std::string output)>;

// What is kept of a child's output.
enum class OutputShape {
    message,  // for a message: empty unless UTF-8, else its first 1800 user-perceived characters
    listing,  // for reading line by line: every byte, up to kListingBytes
};

// More than any listing adb prints; the rest of a longer one is read and dropped.
inline constexpr std::size_t kListingBytes = 4 * 1024 * 1024;

struct ProcessRequest {
    std::string executable;  // a path; PATH is not searched
    std::vector<std::string> arguments;
    std::optional<std::string> input;  // one line for standard input, sent with a line feed
    Environment environment;           // laid over our own
    double timeout = 30;
    OutputShape shape = OutputShape::message;
};

struct ProcessResult {
    bool started = false;
    // The exit code, or the number of the signal that ended the child; -1 when it could not be started.
    std::int32_t status = -1;
    // The output as shaped; why the child could not be started; or, for a run ended at its limit that printed
    // nothing, which command did not finish in how long (a message must never be empty).
    std::string output;
};

// Runs child programs on worker threads, each result handed back on the main queue. Nothing here decides whether a
// program may run: that is the caller's.
class ProcessRunner {
  public:
    explicit ProcessRunner(MainQueue& mainQueue) : mainQueue_(mainQueue) {}

    // Returns at once; `done` runs once, on the main thread, with the result.
    void run(const ProcessRequest& request, std::function<void(ProcessResult)> done);

  private:
    MainQueue& mainQueue_;
};

}  // namespace tavix
