#include "control/process_runner.h"

#include <system_error>
#include <thread>

#include "control/child_environment.h"
#include "control/process_text.h"
#include "platform/system/child_process.h"

namespace tavix {
namespace {

struct Outcome {
    bool started = false;
    std::int32_t status = -1;
    std::string output;
};

void report(TavixMenu& menu, Outcome result, ProcessCompletion completion) {
    menu.operation = false;
    completion(result.status, std::move(result.output));
    if (result.started) menu.refresh();
}

// The run's output as reported; ended at its limit without a word, the text says so, for an alert must never be
// empty.
Outcome outcomeOf(const ChildResult& result, const OutputCollector& collector, const std::string& command,
                  double timeout) {
    if (!result.started) return {false, result.status, result.startError};
    std::string output = collector.text();
    if (result.timedOut && output.empty()) output = unfinishedText(command, timeout);
    return {true, result.status, std::move(output)};
}

}  // namespace

void runProcess(TavixMenu& menu, const std::string& executable, const std::vector<std::string>& arguments,
                const std::optional<std::string>& input, const Environment& environment, double timeout,
                ProcessCompletion completion) {
    menu.operation = true;
    // Everything the worker needs is taken here, on the main thread: it never touches the menu itself.
    ChildRequest request{executable,        arguments, composeEnvironment(currentEnvironment(), environment),
                         inputBytes(input), timeout,   {}};
    MainQueue& mainQueue = menu.ports().mainQueue;
    auto work = [&menu, &mainQueue, request = std::move(request), completion,
                 command = quotedCommand(executable, arguments)]() mutable {
        OutputCollector collector;
        request.output = [&collector](std::string_view bytes) { collector.feed(bytes); };
        auto result = outcomeOf(runChild(request), collector, command, request.timeout);
        mainQueue.post([&menu, result = std::move(result), completion = std::move(completion)]() mutable {
            report(menu, std::move(result), std::move(completion));
        });
    };
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error& error) {
        const auto start = startFailure(executable, error.code().value());
        Outcome failed{false, start.status, start.startError};
        mainQueue.post([&menu, failed = std::move(failed), completion = std::move(completion)]() mutable {
            report(menu, std::move(failed), std::move(completion));
        });
    }
}

}  // namespace tavix
