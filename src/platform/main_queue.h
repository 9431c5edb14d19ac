#pragma once

#include <functional>

namespace tavix {

// The one way back to the main thread: `post` may be called from any thread; `fn` runs later on the main thread.
class MainQueue {
  public:
    virtual ~MainQueue() = default;
    virtual void post(std::function<void()> fn) = 0;
};

}  // namespace tavix
