#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/unique_fd.h"

namespace tavix {

// Tells when entries of the state directory change, so what is shown follows within moments rather than at the
// next timer tick. Its own thread waits on inotify and calls `changed` there, once per burst of changes to the
// entries named `names` (written and closed, renamed into place or away, removed, a directory made). The directory
// may be missing at first, created later, removed or replaced: the nearest existing folder on its path is watched
// until it is there again. Where inotify is not to be had, nothing is called and nothing fails.
class StateWatcher {
  public:
    StateWatcher(std::filesystem::path root, std::vector<std::string> names, std::function<void()> changed);
    // Stops the thread; `changed` is not called once this returns.
    ~StateWatcher();
    StateWatcher(const StateWatcher&) = delete;
    StateWatcher& operator=(const StateWatcher&) = delete;

  private:
    void run();
    // Watches the directory, or the nearest existing folder above it, afresh.
    void arm();
    void armAgain();
    // Reads the events at hand; true when one of them matters.
    bool readEvents();

    std::filesystem::path root_;
    std::vector<std::string> names_;
    std::function<void()> changed_;
    UniqueFd inotify_;
    UniqueFd stop_;
    int rootWatch_ = -1;
    int aboveWatch_ = -1;
    std::string awaited_;  // the name in the watched folder above that leads to the directory
    bool rearm_ = false;
    std::thread thread_;
};

}  // namespace tavix
