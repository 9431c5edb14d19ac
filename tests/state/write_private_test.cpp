#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

#include "state/write_private.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;

// Missing folders are made private, an existing one is left as it is; the file is private under any umask and
// replaces what was there: a longer file, or a link, whose target is not written through.
TEST(WritePrivate, WritesWholePrivateFilesInPlaceOfWhatWasThere) {
    test::TempDir dir;
    fs::create_directory(dir / "open");
    ::chmod((dir / "open").c_str(), 0755);
    test::writeFile(dir / "open" / "token", "old content that is longer", 0644);
    test::writeFile(dir / "elsewhere", "keep me");
    fs::create_symlink(dir / "elsewhere", dir / "open" / "config");
    const mode_t previous = ::umask(0277);
    EXPECT_EQ(writePrivate(dir / "a" / "b", "secret", "token"), std::nullopt);
    EXPECT_EQ(writePrivate(dir / "open", "new", "token"), std::nullopt);
    EXPECT_EQ(writePrivate(dir / "open", "", "config"), std::nullopt);
    ::umask(previous);
    EXPECT_EQ(test::filesBelow(dir.path()), (std::map<std::string, std::string>{{"a/b/token", "600 secret"},
                                                                                {"elsewhere", "644 keep me"},
                                                                                {"open/config", "600 "},
                                                                                {"open/token", "600 new"}}));
    for (const auto& [folder, mode] : {std::pair{dir / "a", 0700u}, {dir / "a" / "b", 0700u}, {dir / "open", 0755u}})
        EXPECT_EQ(test::modeOf(folder), mode) << folder;
}

// /proc refuses new entries even to root, which these tests may run as.
TEST(WritePrivate, EachFailingStepSaysWhereAndLeavesNothingBehind) {
    test::TempDir dir;
    test::writeFile(dir / "token" / "inside", "untouched");
    test::writeFile(dir / "file", "x");
    const struct {
        fs::path root;
        std::string_view domain;
        int code;  // 0: any
        std::string named;
    } cases[] = {
        {"/proc/self/tavix-state", kDirectoryDomain, 0, "/proc/self/tavix-state"},
        {"/proc/self", kTavixDomain, 1, "/proc/self"},
        {dir.path(), kPosixDomain, EISDIR, "token"},
        {dir / "file", kDirectoryDomain, ENOTDIR, ""},
    };
    for (const auto& c : cases) {
        const auto error = writePrivate(c.root, "x", "token");
        ASSERT_TRUE(error.has_value()) << c.root;
        EXPECT_EQ(error->domain, c.domain) << c.root;
        EXPECT_TRUE(c.code == 0 || error->code == c.code) << c.root << ": " << error->code;
        EXPECT_NE(error->description.find(c.named), std::string::npos) << error->description;
    }
    EXPECT_EQ(test::readAll(dir / "token" / "inside"), "untouched");
    EXPECT_EQ(test::countEntries(dir.path(), ".menu-"), 0);
}

}  // namespace
}  // namespace tavix
