#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/system/unique_fd.h"
#include "platform/main_queue.h"

namespace tavix::cli {

// The command line's main thread: runs what workers post and what comes due, until the command is done.
class EventLoop final : public MainQueue {
  public:
    using Clock = std::chrono::steady_clock;
    enum class End { idle, stopped, interrupted };

    // `interrupt` turns readable when the user asks to stop; -1 when nothing can ask.
    explicit EventLoop(int interrupt = -1);

    void post(std::function<void()> fn) override;
    // Runs `fn` on this loop once `delay` has passed. Main thread only.
    void after(Clock::duration delay, std::function<void()> fn);
    // Forgets every timer not yet due.
    void cancelTimers();
    // Ends run() after the current step.
    void stop() { stopped_ = true; }

    // Runs until `idle()` holds with nothing posted and no timer waiting, until stop(), or until the interrupt
    // descriptor turns readable.
    End run(const std::function<bool()>& idle);
    // The same, but deaf to the interrupt, and stopped at `deadline` (for winding down after an interrupt).
    End finish(const std::function<bool()>& idle, Clock::time_point deadline);

  private:
    End loop(const std::function<bool()>& idle, bool interruptible, std::optional<Clock::time_point> deadline);
    // Runs the posted work and the timers that are due; true when it ran anything.
    bool runReady();

    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    std::multimap<Clock::time_point, std::function<void()>> timers_;
    UniqueFd wake_;
    int interrupt_;
    bool stopped_ = false;
};

}  // namespace tavix::cli
