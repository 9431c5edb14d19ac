#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/process_runner.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "platform/main_queue.h"
#include "state/options.h"
#include "state/state_directory.h"

namespace tavix {

// What account pairing asks of its owner. Main thread only.
class PairingHost {
  public:
    virtual ~PairingHost() = default;
    virtual const StateDirectory& state() const = 0;
    virtual const Options& options() const = 0;
    virtual MainQueue& mainQueue() = 0;
    virtual Http& http() = 0;
    // The name the server shows for this computer.
    virtual std::string computerName() const = 0;
    virtual void alert(const std::string& title, const std::string& text, Outcome outcome) = 0;
    virtual std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                         const std::vector<FormField>& fields,
                                                         const std::string& button) = 0;
    // A long operation of ours (a request, a program) starts or ends; beginOperation() is false, and changes
    // nothing, while another is under way.
    virtual bool beginOperation() = 0;
    virtual void endOperation() = 0;
    // Runs a program as the long operation of the moment (see ControlHost::process); false while another is under way.
    virtual bool process(const std::string& executable, const std::vector<std::string>& arguments,
                         const std::optional<std::string>& input, const Environment& environment, double timeout,
                         ProcessCompletion completion) = 0;
    // Restarts the bridge, so it takes up a new pairing.
    virtual void restart() = 0;
};

}  // namespace tavix
