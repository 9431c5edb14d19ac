#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/process_runner.h"
#include "platform/dialogs.h"
#include "state/state_directory.h"

namespace tavix {

// What the bridge's control asks of its owner. Main thread only.
class ControlHost {
  public:
    virtual ~ControlHost() = default;
    virtual const StateDirectory& state() const = 0;
    // Reads status.json anew; fresh() and working() then answer for that reading.
    virtual void readStatus() = 0;
    virtual bool fresh() const = 0;
    virtual bool working() const = 0;
    virtual void alert(const std::string& title, const std::string& text, Outcome outcome) = 0;
    virtual bool confirm(const std::string& title, const std::string& text, const std::string& button) = 0;
    // Runs a program as the long operation of the moment: `completion` gets (status, output) on the main thread,
    // and a refresh follows a program that started. False, with nothing run, while another operation is under way.
    virtual bool process(const std::string& executable, const std::vector<std::string>& arguments,
                         const std::optional<std::string>& input, const Environment& environment, double timeout,
                         ProcessCompletion completion) = 0;
    virtual void refresh() = 0;
};

}  // namespace tavix
