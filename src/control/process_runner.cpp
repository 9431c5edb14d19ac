#include "control/process_runner.h"

#include <system_error>
#include <thread>

#include "control/child_environment.h"
#include "control/child_process.h"
#include "control/process_text.h"

namespace tavix {
namespace {

void report(TavixMenu& menu, ChildResult result, ProcessCompletion completion) {
    menu.operation = false;
    completion(result.status, std::move(result.output));
    if (result.started) menu.refresh();
}

// Ended at its limit without a word: the text says so, for an alert must never be empty.
void noteUnfinished(ChildResult& result, const std::string& command, double timeout) {
    if (result.timedOut && result.output.empty()) result.output = unfinishedText(command, timeout);
}

}  // namespace

void runProcess(TavixMenu& menu, const std::string& executable, const std::vector<std::string>& arguments,
                const std::optional<std::string>& input, const Environment& environment, double timeout,
                ProcessCompletion completion) {
    menu.operation = true;
    // Everything the worker needs is taken here, on the main thread: it never touches the menu itself.
    ChildRequest request{executable, arguments, composeEnvironment(currentEnvironment(), environment),
                         inputBytes(input), timeout};
    MainQueue& mainQueue = menu.ports().mainQueue;
    auto work = [&menu, &mainQueue, request = std::move(request), completion,
                 command = quotedCommand(executable, arguments)]() mutable {
        auto result = runChild(request);
        noteUnfinished(result, command, request.timeout);
        mainQueue.post([&menu, result = std::move(result), completion = std::move(completion)]() mutable {
            report(menu, std::move(result), std::move(completion));
        });
    };
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error& error) {
        auto failed = startFailure(executable, error.code().value());
        mainQueue.post([&menu, failed = std::move(failed), completion = std::move(completion)]() mutable {
            report(menu, std::move(failed), std::move(completion));
        });
    }
}

}  // namespace tavix
