#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <sstream>

#include "app/self_test.h"
#include "support/test_app.h"

namespace tavix {
namespace {

struct Run {
    int status = -1;
    std::string output;
};

// Runs the real program with `arguments` and the environment changes in `env`, collecting standard output.
Run runProgram(const std::string& arguments, const std::string& env = {}) {
    const std::string command = env + " " + TAVIX_MENU_BINARY + " " + arguments + " 2>/dev/null";
    Run run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 256> buffer{};
    while (auto got = std::fread(buffer.data(), 1, buffer.size(), pipe)) run.output.append(buffer.data(), got);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

TEST(SelfTest, PassesAndCleansUpWithoutTouchingTheRealStateDirectory) {
    test::TempDir dir;
    test::writeFile(dir / "home" / ".tavix" / "token", "mine", 0600);
    const auto tmp = dir / "tmp";
    std::filesystem::create_directories(tmp);
    auto run = runProgram("--self-test", "HOME=" + (dir / "home").string() + " TMPDIR=" + tmp.string() +
                                             " TAVIX_HOME=" + (dir / "ignored").string());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "Tavix menu: state, address and private-file checks passed\n");
    EXPECT_EQ(test::countEntries(tmp, "tavix-menu-test-"), 0);
    EXPECT_EQ(test::readAll(dir / "home" / ".tavix" / "token"), "mine");
    EXPECT_EQ(test::countEntries(dir / "home" / ".tavix", ""), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "ignored"));
}

TEST(SelfTest, AFailedStepEndsUnsuccessfullyAndKeepsTheDirectory) {
    test::TempDir dir;
    // A temporary directory in which nothing can be created makes the first private write fail.
    auto run = runProgram("--self-test", "TMPDIR=/proc/self");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.output, "");
}

TEST(SelfTest, ReportsWhatFailedOnStandardError) {
    test::TestApp app;
    test::ScopedEnv tmp("TMPDIR", "/proc/self");
    std::ostringstream out, err;
    const int status =
        runSelfTest([&] { return std::make_unique<TavixMenu>(app.menu->ports(), app.options); }, out, err);
    EXPECT_NE(status, 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("Self-test failed: "), std::string::npos);
    EXPECT_NE(err.str().find("/proc/self/tavix-menu-test-"), std::string::npos);
}

}  // namespace
}  // namespace tavix
