#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tavix {

// Why an action asked for by name does not run.
struct ActionRefusal {
    bool unknown = false;  // there is no action of that name
    std::string reason;    // a sentence for the caller
};

// What a later start of the program, or another program, may ask of the running copy.
class ApplicationDelegate {
  public:
    virtual ~ApplicationDelegate() = default;
    // Bring yourself forward (the program was started again in this session).
    virtual void reopen() = 0;
    // Runs the action of that name soon; nothing when it will, else why it does not.
    virtual std::optional<ActionRefusal> activateAction(const std::string& name) = 0;
};

// The outcome of claiming the session's one running copy.
enum class InstanceClaim {
    claimed,      // this process is the running copy; later starts reach its delegate
    another,      // another copy runs and has been asked to come forward (or to run the action)
    unavailable,  // no session bus to tell: the caller falls back to a lock file
};

// What the running application offers the core besides its windows.
class Application {
  public:
    virtual ~Application() = default;
    // Brings the application to the front.
    virtual void activate() = 0;
    // Ends the event loop; the process then exits.
    virtual void terminate() = 0;
    // Calls `tick` on the main thread every `seconds` for the life of the process.
    virtual void startRepeatingTimer(double seconds, std::function<void()> tick) = 0;
    // Claims the running copy of this user session for `delegate` (kept for the life of the process). When another
    // copy runs, it is asked to come forward, or to run the action named `action`.
    virtual InstanceClaim claimInstance(ApplicationDelegate& delegate, const std::optional<std::string>& action) = 0;
    // Calls `fn` once on the main thread after `seconds`.
    virtual void runAfter(double seconds, std::function<void()> fn) = 0;
};

}  // namespace tavix
