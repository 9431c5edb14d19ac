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

// Main-thread callers ask in turn for a grace; once the program is ending, the shortest one asked for holds.
void setGrace(Running& all, std::chrono::milliseconds grace) {
    all.graceMs = all.stopped ? std::min<long long>(all.graceMs, grace.count()) : grace.count();
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
    setGrace(all, grace);
    wakeAll(all);
}

void stopChildren(std::chrono::milliseconds grace) {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    setGrace(all, grace);
    all.stopped = true;
    // At once, from here: the program may end before a run's thread gets to it.
    for (const auto& [pid, wake] : all.children) ::kill(-pid, SIGTERM);
    wakeAll(all);
}

void killChildren() {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    for (const auto& [pid, wake] : all.children) ::kill(-pid, SIGKILL);
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
