#include "platform/system/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tavix {
namespace {

// Without a session bus, the lock lives where no other user can create or hold it first.
TEST(InstanceLock, OnlyInAFolderOfOurOwn) {
    test::TempDir dir;
    const auto home = dir / "home";
    const auto folder = [&](const char* name, unsigned mode) {
        std::filesystem::create_directories(dir / name);
        ::chmod((dir / name).c_str(), mode);
        return (dir / name).string();
    };
    const std::string shared = folder("shared", 01777), own = folder("own", 0700), open = folder("open", 0755);
    const auto stateLock = home / ".local/state/tavix-menu/app.tavix.menu.lock";
    const struct {
        std::optional<std::string> runtime, state;
        std::filesystem::path lock;
    } cases[] = {
        {own, std::nullopt, own + "/app.tavix.menu.lock"},
        {shared, std::nullopt, stateLock},
        {open, std::nullopt, stateLock},
        {std::nullopt, std::nullopt, stateLock},
        {"relative", std::nullopt, stateLock},
        {shared, own, own + "/tavix-menu/app.tavix.menu.lock"},
    };
    for (const auto& c : cases) {
        test::ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime), state("XDG_STATE_HOME", c.state);
        EXPECT_EQ(defaultInstanceLockPath(home), c.lock) << c.runtime.value_or("(unset)");
    }

    // The folder is made private; a second taker is refused; a folder others may write is not used at all.
    const int first = acquireInstanceLock(stateLock);
    ASSERT_GE(first, 0);
    EXPECT_EQ(test::modeOf(stateLock.parent_path()), 0700u);
    EXPECT_EQ(acquireInstanceLock(stateLock), -1);
    ::close(first);
    const int again = acquireInstanceLock(stateLock);
    EXPECT_GE(again, 0) << "free again once the holder is gone";
    ::close(again);
    EXPECT_EQ(acquireInstanceLock(std::filesystem::path(shared) / "app.tavix.menu.lock"), -2);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(shared) / "app.tavix.menu.lock"));
}

}  // namespace
}  // namespace tavix
