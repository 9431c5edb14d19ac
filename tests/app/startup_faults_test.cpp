#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace tavix {
namespace {

// Start-up faults of the real program: a display nobody answers on, Qt's own options, a relative TMPDIR, a
// self-test that cannot write.
TEST(StartupFaults, EachEndsInOneLineAndItsStatusAndTheSelfTestKeepsToItsOwnFolder) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "rel");
    test::writeFile(dir / "home" / ".tavix" / "token", "mine", 0600);
    // Its own home and state, no session bus: should the program get further than it may, it touches nothing real.
    const std::string unreachable =
        "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DBUS_SESSION_BUS_ADDRESS HOME=" + dir.path().string() +
        " TAVIX_HOME=" + (dir / "state").string() + " DISPLAY=:9473 ";
    const std::string passed = "Tavix menu: state, address and private-file checks passed\n";
    const struct {
        const char* what;
        std::string env, arguments;
        int status;
        std::string out;  // standard output exactly
        const char* err;  // the start of the only line on standard error, or "" for none
    } cases[] = {
        {"unreachable display", unreachable, "", 2, "", "Tavix Link could not connect to the display (DISPLAY=:9473)"},
        // Honoured, "-platform offscreen" would start the application without a display and keep it running.
        {"Qt's options", unreachable, "-platform offscreen -display :0 -reverse", 2, "", "Tavix Link could not"},
        {"TMPDIR=.", "TMPDIR=. ", "--self-test", 0, passed, ""},
        // The self-test keeps to its own state directory, whatever HOME and TAVIX_HOME say.
        {"TMPDIR=rel", "TMPDIR=rel HOME=" + (dir / "home").string() + " TAVIX_HOME=" + (dir / "ignored").string() + " ",
         "--self-test", 0, passed, ""},
        {"self-test failing", "TMPDIR=/proc/self ", "--self-test", 1, "",
         "Self-test failed: Could not create the folder “/proc/self/tavix-menu-test-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string command = "cd '" + dir.path().string() + "' && " + c.env + "timeout 30 " + TAVIX_MENU_BINARY +
                                    " " + c.arguments + " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), c.status);
        EXPECT_EQ(test::readAll(dir / "out.txt"), c.out);
        const std::string err = test::readAll(dir / "err.txt");
        if (*c.err == '\0') {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(err.rfind(c.err, 0), 0u) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
    }
    EXPECT_EQ(test::countEntries(dir / "rel", ""), 0) << "the self-test cleans up after itself";
    EXPECT_EQ(test::filesBelow(dir / "home"), (std::map<std::string, std::string>{{".tavix/token", "600 mine"}}));
    EXPECT_FALSE(std::filesystem::exists(dir / "ignored"));
}

}  // namespace
}  // namespace tavix
