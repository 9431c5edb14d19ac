#include "state/state_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "support/temp_dir.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Counts the watcher's calls.
struct Calls {
    std::mutex mutex;
    std::condition_variable more;
    int count = 0;

    void add() {
        std::lock_guard lock(mutex);
        ++count;
        more.notify_all();
    }
    // Waits until the calls have stopped for `quiet`; the number of calls by then.
    int settled(std::chrono::milliseconds quiet) {
        std::unique_lock lock(mutex);
        for (int seen = -1; seen != count;) {
            seen = count;
            more.wait_for(lock, quiet, [&] { return count != seen; });
        }
        return count;
    }
    bool waitBeyond(int seen) {
        std::unique_lock lock(mutex);
        return more.wait_for(lock, 10s, [&] { return count > seen; });
    }
};

void replace(const fs::path& path, const std::string& content) {
    test::writeFile(path.parent_path() / ".menu-new", content);
    fs::rename(path.parent_path() / ".menu-new", path);
}

TEST(StateWatcher, FollowsTheNamedEntriesWhereverTheDirectoryComesAndGoes) {
    test::TempDir dir;
    const fs::path root = dir / "a" / "state";
    Calls calls;
    StateWatcher watcher(root, {"status.json", "paused", "token", "no-login", "config"}, [&] { calls.add(); });
    struct Step {
        const char* what;
        std::function<void()> act;
        bool seen;
    } steps[] = {
        {"made with its parent", [&] { fs::create_directories(root); }, true},
        {"status.json renamed into place", [&] { replace(root / "status.json", "{}"); }, true},
        {"status.json written in place", [&] { test::writeFile(root / "status.json", "{}"); }, true},
        {"other names",
         [&] {
             test::writeFile(root / "log", "x");
             replace(root / "tokens", "x");
         },
         false},
        {"a marker made as a folder", [&] { fs::create_directory(root / "paused"); }, true},
        {"the marker removed", [&] { fs::remove(root / "paused"); }, true},
        {"replaced by another folder",
         [&] {
             fs::create_directory(dir / "a" / "next");
             fs::rename(dir / "a" / "next", dir / "a" / "old");
             fs::rename(root, dir / "a" / "gone");
             fs::rename(dir / "a" / "old", root);
         },
         true},
        {"the new folder's token", [&] { test::writeFile(root / "token", "t"); }, true},
        {"removed with its parent", [&] { fs::remove_all(dir / "a"); }, true},
        {"made again", [&] { fs::create_directories(root); }, true},
        {"the new folder's config", [&] { test::writeFile(root / "config", "SERVER=x\n"); }, true},
        {"a no-login marker", [&] { test::writeFile(root / "no-login", ""); }, true},
    };
    for (const auto& step : steps) {
        const int before = calls.settled(150ms);
        step.act();
        if (step.seen) {
            EXPECT_TRUE(calls.waitBeyond(before)) << step.what;
        } else {
            EXPECT_EQ(calls.settled(300ms), before) << step.what;
        }
    }
}

}  // namespace
}  // namespace tavix
