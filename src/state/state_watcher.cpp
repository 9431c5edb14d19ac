#include "state/state_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace tavix {
namespace {

// A file counts once written and closed, or renamed into place: a reader never meets it half written. A created
// entry counts only as a directory (a marker may be one); a file created in place counts when it is closed.
constexpr std::uint32_t kEntryEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE;
constexpr std::uint32_t kRootEvents = kEntryEvents | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// In the folder above: the directory (or a folder on the way to it) appearing, going or being replaced.
constexpr std::uint32_t kAboveEvents = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ONLYDIR;

}  // namespace

StateWatcher::StateWatcher(std::filesystem::path root, std::vector<std::string> names, std::function<void()> changed)
    : root_(std::move(root)),
      names_(std::move(names)),
      changed_(std::move(changed)),
      inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      stop_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    // "/x/state/" names the folder "state": its name is what the folder above reports.
    if (!root_.has_filename()) root_ = root_.parent_path();
    if (!inotify_.valid() || !stop_.valid()) return;
    armAgain();
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread: the periodic refresh alone keeps what is shown current.
    }
}

StateWatcher::~StateWatcher() {
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    while (::write(stop_.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
}

void StateWatcher::arm() {
    rearm_ = false;
    for (int* watch : {&rootWatch_, &aboveWatch_}) {
        if (*watch >= 0) ::inotify_rm_watch(inotify_.get(), *watch);
        *watch = -1;
    }
    rootWatch_ = ::inotify_add_watch(inotify_.get(), root_.c_str(), kRootEvents);
    // The folder above as well (when the directory exists), to see it replaced or removed and made anew.
    std::filesystem::path below = root_;
    std::filesystem::path above = root_.parent_path();
    for (;;) {
        aboveWatch_ = ::inotify_add_watch(inotify_.get(), above.c_str(), kAboveEvents);
        if (aboveWatch_ >= 0 || above == above.parent_path() || (errno != ENOENT && errno != ENOTDIR)) break;
        below = above;
        above = above.parent_path();
    }
    awaited_ = below.filename().string();
    // Made between the two looks: start again from it.
    if (rootWatch_ < 0 && below != root_ && std::filesystem::exists(below)) rearm_ = true;
    if (rootWatch_ < 0 && below == root_ && std::filesystem::is_directory(root_)) rearm_ = true;
}

void StateWatcher::armAgain() {
    // A folder that comes and goes while it is looked at could keep this going: a few turns, then the next event.
    for (int turn = 0; turn < 4; ++turn) {
        arm();
        if (!rearm_) return;
    }
}

bool StateWatcher::readEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool matters = false;
    for (;;) {
        const ssize_t got = ::read(inotify_.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const std::string name = event.len > 0 ? std::string(buffer + at + sizeof event) : std::string();
            at += sizeof event + event.len;
            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                // Events were lost: anything may have changed.
                rearm_ = true;
                matters = true;
            } else if (event.wd == rootWatch_) {
                if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
                    rearm_ = true;
                    matters = true;
                } else if ((event.mask & IN_CREATE) != 0 && (event.mask & IN_ISDIR) == 0) {
                    // A file made in place: it counts once closed.
                } else if (std::find(names_.begin(), names_.end(), name) != names_.end()) {
                    matters = true;
                }
            } else if (event.wd == aboveWatch_) {
                if ((event.mask & IN_IGNORED) != 0 || name == awaited_) {
                    rearm_ = true;
                    matters = true;
                }
            }
        }
    }
    return matters;
}

void StateWatcher::run() {
    for (;;) {
        pollfd fds[2] = {{inotify_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) return;
        const bool matters = readEvents();
        if (rearm_) armAgain();
        if (matters) changed_();
    }
}

}  // namespace tavix
