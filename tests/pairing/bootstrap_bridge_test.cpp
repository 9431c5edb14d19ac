#include "pairing/bootstrap_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pairing/pairing_fixture.h"

namespace tavix::test {
namespace {

const std::string kCode = "298765";

Message message(const Refusal& refusal) {
    return {std::string(refusal.title), std::string(refusal.text)};
}
const Message kRefusedDownload{std::string(kDownloadFailed), std::string(kRetryPairing)};

// A set-up script of exactly `size` bytes that ends by running `tail`.
std::string paddedScript(const std::string& tail, std::size_t size) {
    std::string script = "#!/bin/sh\n" + tail + "\n#";
    script.append(size - script.size() - 1, 'x');
    return script + "\n";
}

bool isSetupScriptName(const std::string& name) {
    // ".setup-" + 8-4-4-4-12 upper-case hexadecimal digits + ".sh"
    if (name.size() != 7 + 36 + 3 || name.rfind(".setup-", 0) != 0 || name.substr(43) != ".sh") return false;
    for (std::size_t i = 0; i < 36; ++i) {
        const char c = name[7 + i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

class BootstrapBridgeTest : public PairingFixture {
  protected:
    // Runs the set-up and waits for its message.
    Message bootstrap() {
        app->dialogs.alerts.clear();
        app->menu->bootstrapBridge(server.base(), kCode);
        settle();
        EXPECT_EQ(alerts().size(), 1u);
        return alerts().empty() ? Message{} : alerts().back();
    }

    // A script that writes what it was given into `seen`, then runs `tail`.
    std::string recordingScript(const std::string& tail) const {
        const std::string seen = (tools / "seen").string();
        return "#!/bin/sh\n"
               "mkdir -p '" +
               seen +
               "'\n"
               "printf '%s\\n' \"$#\" \"$0\" > '" +
               seen +
               "/args'\n"
               "stat -c %a \"$0\" > '" +
               seen +
               "/mode'\n"
               "printf '%s\\n' \"$TAVIX_SERVER\" \"$TAVIX_HOME\" \"$TAVIX_CODE\" \"$TAVIX_MENU_APP_PATH\" "
               "\"$TAVIX_PROBE\" > '" +
               seen +
               "/environment'\n"
               "cat > '" +
               seen + "/stdin'\n" + tail + "\n";
    }

    std::string seen(const std::string& name) const { return readAll(tools / "seen" / name); }
};

TEST_F(BootstrapBridgeTest, RunsTheDownloadedScriptWithItsEnvironment) {
    ScopedEnv probe("TAVIX_PROBE", "inherited");
    start([](Options& options) { options.appPath = "/opt/tavix/tavix-menu"; });
    server.route("/link", Route::text(200, recordingScript("echo installing\nprintf x > \"$TAVIX_HOME/token\"")));

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    app->menu->bootstrapBridge(server.base(), kCode);
    EXPECT_TRUE(app->menu->operation);
    settle();
    const std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();

    EXPECT_EQ(alerts(), std::vector<Message>{message(kTavixReady)});
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].path, "/link");

    // The shell got one argument: the saved script, private, in the state directory.
    const auto runs = runsOf("sh");
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].size(), 1u);
    const std::filesystem::path script = runs[0][0];
    EXPECT_EQ(script.parent_path(), app->root());
    EXPECT_TRUE(isSetupScriptName(script.filename().string())) << script;
    // The script itself sees no arguments of its own.
    EXPECT_EQ(seen("args"), "0\n" + script.string() + "\n");
    EXPECT_EQ(seen("mode"), "600\n");
    EXPECT_EQ(seen("environment"),
              server.base() + "\n" + app->root().string() + "\n" + kCode + "\n/opt/tavix/tavix-menu\ninherited\n");
    EXPECT_EQ(seen("stdin"), "");
    // Removed once it has run.
    EXPECT_FALSE(std::filesystem::exists(script));
    EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
    EXPECT_FALSE(app->menu->operation);

    EXPECT_EQ(script.string().find(kCode), std::string::npos);
    EXPECT_EQ(printed.find(kCode), std::string::npos);
}

TEST_F(BootstrapBridgeTest, WithoutTavixHomeTheScriptGetsTheDefaultStateDirectory) {
    start();
    ScopedEnv unset("TAVIX_HOME", std::nullopt);
    server.route("/link", Route::text(200, recordingScript("printf x > \"$TAVIX_HOME/token\"")));
    EXPECT_EQ(bootstrap(), message(kTavixReady));
    const auto runs = runsOf("sh");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(std::filesystem::path(runs[0].at(0)).parent_path(), app->home() / ".tavix");
    EXPECT_EQ(seen("environment"),
              server.base() + "\n" + (app->home() / ".tavix").string() + "\n" + kCode + "\n/usr/bin/tavix-menu\n\n");
    EXPECT_TRUE(std::filesystem::exists(app->home() / ".tavix" / "token"));
}

TEST_F(BootstrapBridgeTest, ReportsHowTheScriptEnded) {
    start();
    const std::pair<std::string, Message> cases[] = {
        {"printf x > \"$TAVIX_HOME/token\"", message(kTavixReady)},
        {"echo 'bridge not installed'", {std::string(kSetupNeedsAttention), "bridge not installed\n"}},
        {"exit 0", {std::string(kSetupNeedsAttention), std::string(kRetryPairing)}},
        {"echo boom\nexit 1", {std::string(kSetupNeedsAttention), "boom\n"}},
        {"echo partial >&2\nprintf x > \"$TAVIX_HOME/token\"\nexit 3",
         {std::string(kSetupNeedsAttention), "partial\n"}},
    };
    for (const auto& [tail, expected] : cases) {
        SCOPED_TRACE(tail);
        std::filesystem::remove(app->root() / "token");
        server.route("/link", Route::text(200, "#!/bin/sh\n" + tail + "\n"));
        EXPECT_EQ(bootstrap(), expected);
        EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
    }
    EXPECT_EQ(runsOf("sh").size(), std::size(cases));
}

TEST_F(BootstrapBridgeTest, AScriptPastItsTimeLimitIsEnded) {
    start([](Options& options) { options.setupTimeout = 1; });
    server.route("/link", Route::text(200, "echo started\nexec sleep 60\n"));
    EXPECT_EQ(bootstrap(), (Message{std::string(kSetupNeedsAttention), "started\n"}));
    EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
}

TEST_F(BootstrapBridgeTest, AShellThatCannotStartIsReported) {
    start([this](Options& options) { options.shell = (tools / "no-such-shell").string(); });
    server.route("/link", Route::text(200, "printf x > \"$TAVIX_HOME/token\"\n"));
    const auto shown = bootstrap();
    EXPECT_EQ(shown.title, kSetupNeedsAttention);
    EXPECT_FALSE(shown.text.empty());
    EXPECT_NE(shown.text, kRetryPairing);
    EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
    EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));
}

TEST_F(BootstrapBridgeTest, AcceptsOnlyASmallScriptFromTheSameHost) {
    start();
    const std::string installs = "printf x > \"$TAVIX_HOME/token\"";
    server.route("/elsewhere", Route::text(200, "#!/bin/sh\n" + installs + "\n"));
    const std::pair<std::string, Route> refused[] = {
        {"404", Route::text(404, "#!/bin/sh\n" + installs + "\n")},
        {"redirect to another name", Route::redirect(server.url("/elsewhere", "localhost"))},
        {"empty", Route::text(200, "")},
        {"150 000 bytes", Route::text(200, paddedScript(installs, 150'000))},
        {"endless", Route::endlessBody()},
    };
    for (const auto& [name, route] : refused) {
        SCOPED_TRACE(name);
        server.route("/link", route);
        EXPECT_EQ(bootstrap(), kRefusedDownload);
    }
    EXPECT_TRUE(runsOf("sh").empty());
    EXPECT_EQ(countEntries(app->root(), ".setup-"), 0);
    EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));

    // The same redirect within the host name is followed.
    server.route("/link", Route::redirect(server.url("/elsewhere")));
    EXPECT_EQ(bootstrap(), message(kTavixReady));
    std::filesystem::remove(app->root() / "token");

    server.route("/link", Route::text(200, paddedScript(installs, 149'999)));
    EXPECT_EQ(bootstrap(), message(kTavixReady));
    EXPECT_EQ(runsOf("sh").size(), 2u);
}

TEST_F(BootstrapBridgeTest, ATransportFailureShowsTheTransportsText) {
    start();
    app->menu->bootstrapBridge("https://127.0.0.1:" + std::to_string(unusedPort()), kCode);
    settle();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].title, kDownloadFailed);
    EXPECT_NE(alerts()[0].text, kRetryPairing);
    EXPECT_FALSE(alerts()[0].text.empty());
    EXPECT_TRUE(runsOf("sh").empty());
}

TEST_F(BootstrapBridgeTest, RefusesToRunFromAMountedVolume) {
    for (const char* where : {"/Volumes/Tavix Link/tavix-menu", "/media/ana/TAVIX/tavix-menu"}) {
        SCOPED_TRACE(where);
        start([&](Options& options) { options.appPath = where; });
        app->menu->bootstrapBridge(server.base(), kCode);
        EXPECT_EQ(alerts(), std::vector<Message>{message(kMoveFirst)});
        EXPECT_FALSE(app->menu->operation);
        app->mainQueue.drain();
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(BootstrapBridgeTest, AStateDirectoryThatCannotBeWrittenStopsBeforeRunning) {
    start();
    // The state directory's path is taken by a file.
    writeFile(tools / "not-a-directory", "x");
    ScopedEnv blocked("TAVIX_HOME", (tools / "not-a-directory").string());
    server.route("/link", Route::text(200, "printf x > \"$TAVIX_HOME/token\"\n"));
    const auto shown = bootstrap();
    EXPECT_EQ(shown.title, kCouldNotStartSetup);
    EXPECT_FALSE(shown.text.empty());
    EXPECT_TRUE(runsOf("sh").empty());
    EXPECT_EQ(countEntries(tools.path(), ".setup-"), 0);
}

}  // namespace
}  // namespace tavix::test
