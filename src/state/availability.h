#pragma once

#include <optional>
#include <string_view>

#include "platform/command.h"

namespace tavix {

// A message that ends a command before it does anything: the alert's title and text.
struct Refusal {
    std::string_view title;
    std::string_view text;
    bool operator==(const Refusal&) const = default;
};

inline constexpr Refusal kNotPaired{"Not paired", "Pair this computer with an account first."};
inline constexpr Refusal kTaskInProgress{"Task in progress",
                                         "Wait for the current task or connection operation to finish."};
inline constexpr Refusal kRestartWhileTask{"Task still running",
                                           "Wait for the current task to finish before restarting."};
inline constexpr Refusal kDisconnectWhileTask{"Task still running",
                                              "Wait for the current task to finish before disconnecting."};

// What decides whether a command may run, read at one moment.
struct Snapshot {
    bool paired = false;      // "token" exists
    bool working = false;     // the bridge's fresh status names a task
    bool operation = false;   // a long operation of ours is under way
    bool dialogOpen = false;  // a form or the disconnect question waits for its answer
};

// Whether `command` may run now; when not, why.
struct Availability {
    std::optional<Refusal> refusal;
    // The refusal is shown to whoever chose the command in a window or a menu; the phone commands stay silent there.
    bool shownInWindows = true;

    bool available() const { return !refusal; }
};

// The one table of when each command may run. The menu greys out a command that is not available; every way in
// (menu, settings window, other programs, the command line) is refused with the same reason.
Availability availability(Command command, const Snapshot& now);

// The command opens a form or a question, of which only one is open at a time.
bool opensDialog(Command command);

}  // namespace tavix
