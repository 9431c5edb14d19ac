#pragma once

#include <string>

#include "platform/command.h"

namespace tavix {

// The live lines of the settings window, as refresh() computes them.
struct SettingsLabels {
    std::string status;
    bool connected = false;  // the status line is drawn in the connected colour
    std::string phone;
    std::string computer;
    std::string activity;

    bool operator==(const SettingsLabels&) const = default;
};

class SettingsView {
  public:
    virtual ~SettingsView() = default;
    // Builds the window once; its buttons send their commands to `target`.
    virtual void build(const std::string& serverLine, CommandTarget& target) = 0;
    virtual void setLabels(const SettingsLabels& labels) = 0;
    // Shows the window in front; `centre` only for the first showing.
    virtual void present(bool centre) = 0;
    // The window has the keyboard focus: the user is looking at the state.
    virtual bool focused() const = 0;
};

}  // namespace tavix
