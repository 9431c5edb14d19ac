#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/files.h"
#include "state/state_directory.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

TEST(StateDirectoryRoot, FollowsTavixHomeAtEveryUse) {
    test::TempDir dir;
    StateDirectory state(dir / "home");
    {
        test::ScopedEnv unset("TAVIX_HOME", std::nullopt);
        EXPECT_EQ(state.root(), dir / "home" / ".tavix");
    }
    {
        test::ScopedEnv set("TAVIX_HOME", (dir / "elsewhere").string());
        EXPECT_EQ(state.root(), dir / "elsewhere");  // need not exist
        EXPECT_EQ(state.home(), dir / "home");
    }
}

TEST(StateDirectoryRoot, RelativeAndEmptyValuesResolveAgainstTheCurrentDirectory) {
    const auto current = std::filesystem::current_path();
    StateDirectory state("/nonexistent-home");
    {
        test::ScopedEnv relative("TAVIX_HOME", "state/here");
        EXPECT_EQ(state.root(), current / "state/here");
        EXPECT_EQ(state.entryPath("token"), (current / "state/here/token").string());
    }
    {
        test::ScopedEnv empty("TAVIX_HOME", "");
        EXPECT_EQ(state.root(), current);
        EXPECT_EQ(state.entryPath("token"), (current / "token").string());
    }
}

TEST(StateDirectoryMarkers, AnyEntryKindCounts) {
    test::TempDir dir;
    test::ScopedEnv home("TAVIX_HOME", dir.path().string());
    StateDirectory state(dir.path());
    EXPECT_FALSE(state.paused());
    EXPECT_FALSE(state.paired());
    EXPECT_FALSE(state.loginDisabled());
    std::filesystem::create_directory(dir / "paused");
    test::writeFile(dir / "token", "t");
    test::writeFile(dir / "no-login", "");
    EXPECT_TRUE(state.paused());
    EXPECT_TRUE(state.paired());
    EXPECT_TRUE(state.loginDisabled());
}

TEST(StateDirectoryConfig, UnreadableOrHugeFilesReadAsEmpty) {
    test::TempDir dir;
    test::ScopedEnv home("TAVIX_HOME", dir.path().string());
    StateDirectory state(dir.path());
    std::filesystem::create_directory(dir / "config");
    EXPECT_TRUE(state.config().empty());
    std::filesystem::remove(dir / "config");
    test::writeFile(dir / "config", "SERVER=https://big\n" + std::string(kMaxStateFileBytes, '#'));
    EXPECT_TRUE(state.config().empty());
    EXPECT_EQ(state.server(), "https://tavix.app");
}

}  // namespace
}  // namespace tavix
