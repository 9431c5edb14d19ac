#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/process_runner.h"
#include "platform/dialogs.h"
#include "state/options.h"
#include "state/state_directory.h"

namespace tavix {

// What the phone commands ask of their owner. Main thread only.
class AndroidHost {
  public:
    virtual ~AndroidHost() = default;
    virtual const StateDirectory& state() const = 0;
    virtual const Options& options() const = 0;
    virtual void alert(const std::string& title, const std::string& text, Outcome outcome) = 0;
    virtual std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                         const std::vector<FormField>& fields,
                                                         const std::string& button) = 0;
    // Runs a program as the long operation of the moment (see ControlHost::process); false while another is under way.
    virtual bool process(const std::string& executable, const std::vector<std::string>& arguments,
                         const std::optional<std::string>& input, const Environment& environment, double timeout,
                         ProcessCompletion completion) = 0;

    // For a flow of several programs that is one operation: its start and end, and its programs, which change
    // neither. beginOperation() is false, and changes nothing, while another operation is under way.
    virtual bool beginOperation() = 0;
    virtual void endOperation() = 0;
    virtual void runProgram(const ProcessRequest& request, std::function<void(ProcessResult)> done) = 0;
    // Ends the programs under way early, as their time limit would.
    virtual void endPrograms() = 0;
    virtual void runAfter(double seconds, std::function<void()> fn) = 0;
    virtual void refresh() = 0;

    // The QR code a phone scans (see Dialogs::showPairingCode).
    virtual std::optional<std::string> showPairingCode(const std::string& payload, const std::string& steps,
                                                       std::function<void()> cancel) = 0;
    virtual void pairingProgress(const std::string& text) = 0;
    virtual void closePairingCode() = 0;
};

}  // namespace tavix
