#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

#include "state/write_private.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

TEST(WritePrivate, CreatesMissingDirectoriesPrivately) {
    test::TempDir dir;
    const auto root = dir / "a" / "b";
    ASSERT_EQ(writePrivate(root, "secret", "token"), std::nullopt);
    EXPECT_EQ(test::modeOf(dir / "a"), 0700u);
    EXPECT_EQ(test::modeOf(root), 0700u);
    EXPECT_EQ(test::modeOf(root / "token"), 0600u);
    EXPECT_EQ(test::readAll(root / "token"), "secret");
}

TEST(WritePrivate, LeavesAnExistingDirectoryAsItIs) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "state");
    ::chmod((dir / "state").c_str(), 0755);
    ASSERT_EQ(writePrivate(dir / "state", "", "paused"), std::nullopt);
    EXPECT_EQ(test::modeOf(dir / "state"), 0755u);
    EXPECT_EQ(test::modeOf(dir / "state" / "paused"), 0600u);
    EXPECT_EQ(std::filesystem::file_size(dir / "state" / "paused"), 0u);
}

TEST(WritePrivate, ReplacesContentAndPermissionsWithoutLeftovers) {
    test::TempDir dir;
    test::writeFile(dir / "token", "old content that is longer", 0644);
    ASSERT_EQ(writePrivate(dir.path(), "new", "token"), std::nullopt);
    EXPECT_EQ(test::readAll(dir / "token"), "new");
    EXPECT_EQ(test::modeOf(dir / "token"), 0600u);
    EXPECT_EQ(test::countEntries(dir.path(), ".menu-"), 0);
}

TEST(WritePrivate, KeepsModeUnderARestrictiveUmask) {
    test::TempDir dir;
    const mode_t previous = ::umask(0277);
    auto error = writePrivate(dir.path(), "x", "token");
    ::umask(previous);
    ASSERT_EQ(error, std::nullopt);
    EXPECT_EQ(test::modeOf(dir / "token"), 0600u);
}

TEST(WritePrivate, ReplacesALinkInsteadOfWritingThroughIt) {
    test::TempDir dir;
    test::writeFile(dir / "elsewhere", "keep me");
    std::filesystem::create_symlink(dir / "elsewhere", dir / "token");
    ASSERT_EQ(writePrivate(dir.path(), "new", "token"), std::nullopt);
    EXPECT_EQ(test::readAll(dir / "elsewhere"), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "token"));
    EXPECT_EQ(test::readAll(dir / "token"), "new");
}

// Each failing step gives its own error. /proc refuses new entries even to root, which these tests may run as.
TEST(WritePrivate, ReportsEachFailingStepDistinctly) {
    auto creation = writePrivate("/proc/self/tavix-state", "x", "token");
    ASSERT_TRUE(creation.has_value());
    EXPECT_EQ(creation->domain, kDirectoryDomain);
    EXPECT_NE(creation->description.find("/proc/self/tavix-state"), std::string::npos);

    auto temporary = writePrivate("/proc/self", "x", "token");
    ASSERT_TRUE(temporary.has_value());
    EXPECT_EQ(temporary->domain, kTavixDomain);
    EXPECT_EQ(temporary->code, 1);
    EXPECT_NE(temporary->description.find("/proc/self"), std::string::npos);
}

TEST(WritePrivate, RenameOntoADirectoryFailsAndCleansUp) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "token");
    test::writeFile(dir / "token" / "inside", "untouched");
    auto error = writePrivate(dir.path(), "x", "token");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain, kPosixDomain);
    EXPECT_EQ(error->code, EISDIR);
    EXPECT_NE(error->description.find("token"), std::string::npos);
    EXPECT_EQ(test::readAll(dir / "token" / "inside"), "untouched");
    EXPECT_EQ(test::countEntries(dir.path(), ".menu-"), 0);
}

TEST(WritePrivate, APathThatIsAFileIsNotADirectory) {
    test::TempDir dir;
    test::writeFile(dir / "file", "x");
    auto error = writePrivate(dir / "file", "x", "token");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain, kDirectoryDomain);
    EXPECT_EQ(error->code, ENOTDIR);
}

}  // namespace
}  // namespace tavix
