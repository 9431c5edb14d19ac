#include "platform/system/running_children.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace tavix {
namespace {

struct Running {
    std::mutex mutex;
    std::vector<std::pair<pid_t, int>> children;  // the child and its run's wake descriptor
    bool stopped = false;
    std::atomic<long long> graceMs{5000};
};

Running& running() {
    static Running instance;
    return instance;
}

void wakeAll(Running& all) {
    for (const auto& [pid, wake] : all.children) {
        const std::uint64_t one = 1;
        // A full counter is awake already.
        (void)!::write(wake, &one, sizeof one);
    }
}

}  // namespace

bool enterChild(pid_t pid, int wake) {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    if (all.stopped) return false;
    all.children.emplace_back(pid, wake);
    return true;
}

void leaveChild(pid_t pid) {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    std::erase_if(all.children, [pid](const auto& child) { return child.first == pid; });
}

void endChildren(std::chrono::milliseconds grace) {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    all.graceMs = grace.count();
    wakeAll(all);
}

void stopChildren(std::chrono::milliseconds grace) {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    all.stopped = true;
    all.graceMs = grace.count();
    // At once, from here: the program may end before a run's thread gets to it.
    for (const auto& [pid, wake] : all.children) ::kill(-pid, SIGTERM);
    wakeAll(all);
}

bool childrenRunning() {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    return !all.children.empty();
}

std::chrono::milliseconds endingGrace() {
    return std::chrono::milliseconds(running().graceMs.load());
}

}  // namespace tavix
