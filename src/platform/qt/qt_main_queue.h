#pragma once

#include "platform/main_queue.h"

namespace tavix {

// Posts to the Qt event loop of the main thread; callable from any thread.
class QtMainQueue final : public MainQueue {
  public:
    void post(std::function<void()> fn) override;
};

}  // namespace tavix
