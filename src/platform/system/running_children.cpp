#include "platform/system/running_children.h"

#include <signal.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace tavix {
namespace {

struct Running {
    std::mutex mutex;
    std::vector<pid_t> children;
    bool stopped = false;
};

Running& running() {
    static Running instance;
    return instance;
}

}  // namespace

bool enterChild(pid_t pid) {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    if (all.stopped) return false;
    all.children.push_back(pid);
    return true;
}

void leaveChild(pid_t pid) {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    std::erase(all.children, pid);
}

void stopChildren() {
    Running& all = running();
    std::lock_guard lock(all.mutex);
    all.stopped = true;
    for (pid_t pid : all.children) {
        // The group as well, for a child that leads one; without a group of its own the call simply fails.
        ::kill(-pid, SIGTERM);
        ::kill(pid, SIGTERM);
    }
}

}  // namespace tavix
