#include <gtest/gtest.h>

#include "state/state_directory.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;

TEST(StateDirectoryRoot, FollowsTavixHomeAtEveryUseRelativeToTheCurrentDirectory) {
    test::TempDir dir;
    StateDirectory state(dir / "home");
    const auto current = fs::current_path();
    const std::pair<std::optional<std::string>, fs::path> cases[] = {
        {std::nullopt, dir / "home" / ".tavix"},
        {(dir / "elsewhere").string(), dir / "elsewhere"},  // need not exist
        {"state/here", current / "state/here"},
        {"", current},
    };
    for (const auto& [value, root] : cases) {
        test::ScopedEnv home("TAVIX_HOME", value);
        EXPECT_EQ(state.root(), root) << value.value_or("(unset)");
        EXPECT_EQ(state.entryPath("token"), (root / "token").string());
    }
    EXPECT_EQ(state.home(), dir / "home");
}

TEST(StateDirectoryMarkers, AnyEntryKindCounts) {
    test::TempDir dir;
    test::ScopedEnv home("TAVIX_HOME", dir.path().string());
    StateDirectory state(dir.path());
    EXPECT_FALSE(state.paused() || state.paired() || state.loginDisabled());
    fs::create_directory(dir / "paused");
    test::writeFile(dir / "token", "t");
    test::writeFile(dir / "no-login", "");
    EXPECT_TRUE(state.paused() && state.paired() && state.loginDisabled());
}

}  // namespace
}  // namespace tavix
