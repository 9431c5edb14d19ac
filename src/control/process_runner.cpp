#include "control/process_runner.h"

#include <memory>
#include <system_error>
#include <thread>

#include "control/child_environment.h"
#include "control/process_text.h"
#include "platform/system/child_process.h"

namespace tavix {
namespace {

// Keeps what a listing needs: every byte, up to its bound.
class ListingCollector {
  public:
    void feed(std::string_view bytes) { kept_.append(bytes.substr(0, kListingBytes - kept_.size())); }
    std::string text() && { return std::move(kept_); }

  private:
    std::string kept_;
};

ProcessResult resultOf(const ChildResult& child, std::string output, const std::string& command, double timeout) {
    if (!child.started) return {false, child.status, child.startError};
    if (child.timedOut && output.empty()) output = unfinishedText(command, timeout);
    return {true, child.status, std::move(output)};
}

}  // namespace

void ProcessRunner::run(const ProcessRequest& request, std::function<void(ProcessResult)> done) {
    // Everything the worker needs is taken here, on the main thread, where the environment is changed.
    ChildRequest child{
        request.executable,        request.arguments, composeEnvironment(currentEnvironment(), request.environment),
        inputBytes(request.input), request.timeout,   {}};
    auto work = [&mainQueue = mainQueue_, child = std::move(child), shape = request.shape,
                 command = quotedCommand(request.executable, request.arguments), done]() mutable {
        OutputCollector message;
        ListingCollector listing;
        if (shape == OutputShape::message) {
            child.output = [&message](std::string_view bytes) { message.feed(bytes); };
        } else {
            child.output = [&listing](std::string_view bytes) { listing.feed(bytes); };
        }
        const ChildResult ended = runChild(child);
        std::string output = shape == OutputShape::message ? message.text() : std::move(listing).text();
        mainQueue.post([result = resultOf(ended, std::move(output), command, child.timeout),
                        done = std::move(done)]() mutable { done(std::move(result)); });
    };
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error& error) {
        const ChildResult failed = startFailure(request.executable, error.code().value());
        mainQueue_.post([result = ProcessResult{false, failed.status, failed.startError},
                         done = std::move(done)]() mutable { done(std::move(result)); });
    }
}

}  // namespace tavix
