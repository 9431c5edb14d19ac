#pragma once

#include <functional>

namespace tavix {

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
    // Calls `fn` once on the main thread after `seconds`.
    virtual void runAfter(double seconds, std::function<void()> fn) = 0;
};

}  // namespace tavix
