#include "cli/event_loop.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

namespace tavix::cli {

EventLoop::EventLoop(int interrupt) : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), interrupt_(interrupt) {}

void EventLoop::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(fn));
    }
    const std::uint64_t one = 1;
    // A full counter already means "wake up".
    (void)!::write(wake_.get(), &one, sizeof one);
}

void EventLoop::after(Clock::duration delay, std::function<void()> fn) {
    timers_.emplace(Clock::now() + delay, std::move(fn));
}

void EventLoop::cancelTimers() {
    timers_.clear();
}

bool EventLoop::runReady() {
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lock(mutex_);
        work.swap(posted_);
    }
    bool ran = !work.empty();
    for (auto& fn : work) fn();
    // Only the timers due now: one that a timer sets for "now" waits for the next turn.
    const auto now = Clock::now();
    while (!timers_.empty() && timers_.begin()->first <= now) {
        auto fn = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        fn();
        ran = true;
    }
    return ran;
}

EventLoop::End EventLoop::run(const std::function<bool()>& idle) {
    return loop(idle, true, std::nullopt);
}

EventLoop::End EventLoop::finish(const std::function<bool()>& idle, Clock::time_point deadline) {
    return loop(idle, false, deadline);
}

EventLoop::End EventLoop::loop(const std::function<bool()>& idle, bool interruptible,
                               std::optional<Clock::time_point> deadline) {
    stopped_ = false;
    while (true) {
        runReady();
        if (stopped_ || (deadline && Clock::now() >= *deadline)) return End::stopped;
        bool empty;
        {
            std::lock_guard lock(mutex_);
            empty = posted_.empty();
        }
        if (empty && timers_.empty() && idle()) return End::idle;

        std::optional<Clock::time_point> wakeUp = deadline;
        if (!timers_.empty() && (!wakeUp || timers_.begin()->first < *wakeUp)) wakeUp = timers_.begin()->first;
        int timeout = -1;
        if (wakeUp) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wakeUp - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {interruptible ? interrupt_ : -1, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return End::stopped;
        if ((fds[1].revents & POLLIN) != 0) return End::interrupted;
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            (void)!::read(wake_.get(), &count, sizeof count);
        }
    }
}

}  // namespace tavix::cli
