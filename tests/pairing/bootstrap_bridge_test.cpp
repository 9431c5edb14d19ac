#include "pairing/account_pairing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "pairing/pairing_fixture.h"

namespace tavix::test {
namespace {

const std::string kCode = "298765";
const std::string kInstalls = "printf x > \"$TAVIX_HOME/token\"\n";

// A set-up script of exactly `size` bytes that installs.
std::string paddedScript(std::size_t size) {
    std::string script = kInstalls + "#";
    return script + std::string(size - script.size() - 1, 'x') + "\n";
}

class BootstrapBridgeTest : public PairingFixture {
  protected:
    Message bootstrap() {
        return outcome([&] { app->menu->bootstrapBridge(server.base(), kCode); });
    }
};

TEST_F(BootstrapBridgeTest, RunsTheDownloadedScriptWithItsEnvironment) {
    ScopedEnv probe("TAVIX_PROBE", "inherited");
    start([](Options& options) { options.appPath = "/opt/tavix/tavix-menu"; });
    server.route(
        "/link", 200,
        "{ echo $# \"$0\"; stat -c %a \"$0\"; printf '%s\\n' \"$TAVIX_SERVER\" \"$TAVIX_HOME\" \"$TAVIX_CODE\" "
        "\"$TAVIX_MENU_APP_PATH\" \"$TAVIX_PROBE\"; cat; } > '" +
            (tools / "seen").string() + "'\n" + kInstalls);

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const auto shown = outcome([&] {
        app->menu->bootstrapBridge(server.base(), kCode);
        EXPECT_TRUE(app->menu->operation());
    });
    const std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, message(kTavixReady));

    // The shell's one argument: the script, saved privately in the state directory, removed once it has run.
    // The script sees no arguments of its own, and its input is at its end.
    const auto runs = argsOf("sh");
    std::smatch script;
    ASSERT_TRUE(std::regex_match(runs, script,
                                 std::regex(R"(\[(.*/\.setup-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\.sh)\]\n)")))
        << runs;
    EXPECT_EQ(std::filesystem::path(script[1].str()).parent_path(), app->root());
    EXPECT_EQ(readAll(tools / "seen"), "0 " + script[1].str() + "\n600\n" + server.base() + "\n" +
                                           app->root().string() + "\n" + kCode +
                                           "\n/opt/tavix/tavix-menu\ninherited\n");
    EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
    EXPECT_EQ(printed.find(kCode), std::string::npos);
}

TEST_F(BootstrapBridgeTest, ReportsHowTheScriptEnded) {
    start();
    const std::pair<std::string, Message> cases[] = {
        {"echo 'bridge not installed'", {std::string(kSetupNeedsAttention), "bridge not installed\n"}},
        {"exit 0", {std::string(kSetupNeedsAttention), std::string(kRetryPairing)}},
        {"echo boom\nexit 1", {std::string(kSetupNeedsAttention), "boom\n"}},
        {"echo partial >&2\n" + kInstalls + "exit 3", {std::string(kSetupNeedsAttention), "partial\n"}},
    };
    for (const auto& [script, expected] : cases) {
        SCOPED_TRACE(script);
        std::filesystem::remove(app->root() / "token");
        server.route("/link", 200, script);
        EXPECT_EQ(bootstrap(), expected);
        EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
    }
}

TEST_F(BootstrapBridgeTest, TheTimeLimitEndsTheWholeScriptAndNoScriptIsLeftBehind) {
    start([](Options& options) { options.setupTimeout = 1; });
    // A script left by a crash goes at the next start; nothing else does.
    const std::string names[] = {".setup-0F5C2A1E-0000-4000-8000-000000000000.sh", ".setup-x.sh", "setup.sh",
                                 ".setup-x.txt"};
    for (const auto& name : names) writeFile(app->root() / name, "x");
    app->menu->applicationDidFinishLaunching();
    EXPECT_EQ(countEntries(app->root(), ".setup-"), 1);
    EXPECT_TRUE(std::filesystem::exists(app->root() / "setup.sh"));
    std::filesystem::remove(app->root() / ".setup-x.txt");

    // What the script waits on ends with it at the limit (how, the runner's tests show), and the script goes.
    server.route("/link", 200, "sleep 600 | cat\n");
    const auto shown = bootstrap();
    EXPECT_EQ(shown.title, kSetupNeedsAttention);
    EXPECT_NE(shown.text.find("did not finish within 1 second"), std::string::npos) << shown.text;
    EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
}

TEST_F(BootstrapBridgeTest, RunsOnlyASmallScriptFromTheSameHost) {
    start();
    server.route("/elsewhere", 200, kInstalls);
    // Which downloads are refused is acceptSetupDownload's table; here how a refusal reaches the user.
    const std::pair<nlohmann::json, std::string> refused[] = {
        {{{"status", 404}, {"body", kInstalls}}, std::string(kRetryPairing)},
        // Nothing listens there: the transport's own text.
        {{{"status", 302}, {"location", "https://127.0.0.1:" + std::to_string(deadPort()) + "/link"}}, "connect"},
    };
    for (const auto& [route, text] : refused) {
        SCOPED_TRACE(route.dump().substr(0, 80));
        server.route("/link", route);
        const auto shown = bootstrap();
        EXPECT_EQ(shown.title, kDownloadFailed);
        EXPECT_NE(shown.text.find(text), std::string::npos) << shown.text;
    }
    EXPECT_TRUE(argsOf("sh").empty());
    EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));

    // A redirect within the host name is followed; 149 999 bytes are run.
    server.route("/link", {{"status", 302}, {"location", server.base() + "/elsewhere"}});
    EXPECT_EQ(bootstrap(), message(kTavixReady));
    std::filesystem::remove(app->root() / "token");
    server.route("/link", 200, paddedScript(149'999));
    EXPECT_EQ(bootstrap(), message(kTavixReady));
    const auto runs = argsOf("sh");
    EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 2);
}

TEST_F(BootstrapBridgeTest, StopsBeforeDownloadingOrRunningWhenItCannot) {
    start([](Options& options) { options.appPath = "/media/ana/TAVIX/tavix-menu"; });
    app->menu->bootstrapBridge(server.base(), kCode);
    EXPECT_EQ(alerts(), std::vector<Message>{message(kMoveFirst)});
    EXPECT_FALSE(app->menu->operation());
    EXPECT_TRUE(server.requests().empty());

    start();
    writeFile(tools / "not-a-directory", "x");
    ScopedEnv blocked("TAVIX_HOME", (tools / "not-a-directory").string());
    server.route("/link", 200, kInstalls);
    const auto shown = bootstrap();
    EXPECT_EQ(shown.title, kCouldNotStartSetup);
    EXPECT_FALSE(shown.text.empty());
    EXPECT_TRUE(argsOf("sh").empty());
}

}  // namespace
}  // namespace tavix::test
