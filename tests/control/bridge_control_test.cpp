#include <gtest/gtest.h>

#include "fake_launchctl.h"

namespace tavix {
namespace {

using test::FakeLaunchctl;
using test::Message;
using test::TestApp;
using Lines = std::vector<std::string>;

const char* const kConfirmText =
    "This stops the local bridge and removes its pairing. Other devices are unchanged. Use Devices → Revoke to "
    "invalidate server tokens too.";

TEST(Launch, RunsTheConfiguredLaunchctlWithoutInputUnderItsTimeLimit) {
    test::TempDir bin;
    const auto script = test::writeScript(bin / "launchctl",
                                          "echo \"$*\"\n"
                                          "if read -r line; then echo \"input $line\"; else echo \"no input\"; fi\n"
                                          "exec sleep 30");
    TestApp app([&](Options& options) {
        options.launchctl = script.string();
        options.launchTimeout = 1;
    });
    std::optional<std::pair<std::int32_t, std::string>> result;
    app.menu->launch({"print", "gui/1"}, [&](std::int32_t status, std::string output) {
        EXPECT_FALSE(app.menu->operation);
        result.emplace(status, std::move(output));
    });
    EXPECT_TRUE(app.menu->operation);
    ASSERT_TRUE(app.mainQueue.runUntil([&] { return result.has_value(); }));
    EXPECT_EQ(*result, (std::pair<std::int32_t, std::string>{15, "print gui/1\nno input\n"}));
}

TEST(Restart, KickstartThenBootstrapOnlyWhenNeeded) {
    const std::string kickstart = "kickstart -k " + test::service();
    struct Case {
        std::initializer_list<int> statuses;
        std::vector<Message> alerts;
        bool bootstrap;
    } cases[] = {
        {{0}, {}, false},
        {{1, 0}, {}, true},
        {{113, 5}, {{"Could not start bridge", "bootstrap output 2\n"}}, true},
    };
    for (const auto& c : cases) {
        FakeLaunchctl launchctl;
        launchctl.statuses(c.statuses);
        TestApp app(launchctl.adjust());
        app.menu->perform(Command::restart);
        EXPECT_TRUE(app.menu->operation);
        ASSERT_TRUE(test::settle(app));
        Lines expected{kickstart};
        if (c.bootstrap) {
            expected.push_back("bootstrap gui/" + std::to_string(::getuid()) + " " +
                               (app.home() / "Library/LaunchAgents/app.tavix.link.plist").string());
        }
        EXPECT_EQ(launchctl.calls(), expected);
        EXPECT_EQ(app.dialogs.alerts, c.alerts);
        EXPECT_GE(app.item.menuSets, 1);  // the runner refreshed after the run
    }
}

TEST(Restart, RefusedWhileTheBridgeRunsATask) {
    FakeLaunchctl launchctl;
    TestApp app(launchctl.adjust());
    // Not yet read by any refresh: the command looks at the file itself.
    app.writeStatus({{"busy", "job"}, {"connected", true}});
    app.menu->restart();
    EXPECT_FALSE(app.menu->operation);
    app.mainQueue.drain();
    EXPECT_EQ(app.dialogs.alerts,
              (std::vector<Message>{{"Task still running", "Wait for the current task to finish before restarting."}}));
    EXPECT_TRUE(launchctl.calls().empty());

    // A busy value in a stale status is no task.
    app.writeStatus({{"busy", "job"}}, /*ageMs=*/60'000);
    app.menu->restart();
    ASSERT_TRUE(test::settle(app));
    EXPECT_EQ(launchctl.calls(), Lines{"kickstart -k " + test::service()});
    EXPECT_EQ(app.dialogs.alerts.size(), 1u);
}

TEST(Restart, ALaunchctlThatCannotStartIsTreatedAsAFailure) {
    TestApp app([](Options& options) { options.launchctl = "/nonexistent/launchctl"; });
    app.menu->restart();
    ASSERT_TRUE(test::settle(app));
    ASSERT_EQ(app.dialogs.alerts.size(), 1u);
    EXPECT_EQ(app.dialogs.alerts[0].title, "Could not start bridge");
    EXPECT_FALSE(app.dialogs.alerts[0].text.empty());
}

TEST(Disconnect, CancelledChangesNothing) {
    FakeLaunchctl launchctl;
    TestApp app(launchctl.adjust());
    test::writeFile(app.root() / "token", "t");
    app.menu->perform(Command::disconnect);
    EXPECT_EQ(app.application.activations, 1);
    EXPECT_EQ(app.dialogs.confirmations, (std::vector<Message>{{"Disconnect this Mac?", kConfirmText}}));
    EXPECT_FALSE(app.menu->operation);
    app.mainQueue.drain();
    EXPECT_TRUE(launchctl.calls().empty());
    EXPECT_TRUE(std::filesystem::exists(app.root() / "token"));
    EXPECT_TRUE(app.dialogs.alerts.empty());
}

TEST(Disconnect, RemovesThePairingUnlessARunningBridgeCouldNotBeStopped) {
    struct Case {
        const char* what;
        int bootout;
        bool bridgeRunning;
        bool removed;
    } cases[] = {
        {"stopped", 0, true, true},
        {"was not running", 3, false, true},
        {"still running", 3, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeLaunchctl launchctl;
        launchctl.statuses({c.bootout});
        TestApp app(launchctl.adjust());
        test::writeFile(app.root() / "token", "t");
        test::writeFile(app.root() / "config", "SERVER=https://example.test\n");
        test::writeFile(app.root() / "paused", "");
        app.writeStatus({{"connected", true}}, c.bridgeRunning ? 0 : 60'000);
        app.dialogs.confirmAnswers = {true};
        app.menu->disconnect();
        ASSERT_TRUE(test::settle(app));

        EXPECT_EQ(launchctl.calls(), Lines{"bootout " + test::service()});
        EXPECT_EQ(std::filesystem::exists(app.root() / "token"), !c.removed);
        EXPECT_EQ(std::filesystem::exists(app.root() / "status.json"), !c.removed);
        EXPECT_TRUE(std::filesystem::exists(app.root() / "config"));
        EXPECT_TRUE(std::filesystem::exists(app.root() / "paused"));
        if (c.removed) {
            EXPECT_TRUE(app.dialogs.alerts.empty());
            EXPECT_EQ(app.item.tooltip, "Tavix Link · Not paired");
        } else {
            EXPECT_EQ(app.dialogs.alerts, (std::vector<Message>{{"Could not stop bridge", "bootout output 1\n"}}));
        }
    }
}

TEST(Disconnect, AMissingTokenStopsBeforeTheStatusIsRemoved) {
    FakeLaunchctl launchctl;
    TestApp app(launchctl.adjust());
    app.writeStatus({}, 60'000);
    app.dialogs.confirmAnswers = {true};
    app.menu->disconnect();
    ASSERT_TRUE(test::settle(app));
    ASSERT_EQ(app.dialogs.alerts.size(), 1u);
    EXPECT_EQ(app.dialogs.alerts[0].title, "Could not disconnect");
    EXPECT_NE(app.dialogs.alerts[0].text.find("“token”"), std::string::npos) << app.dialogs.alerts[0].text;
    EXPECT_TRUE(std::filesystem::exists(app.root() / "status.json"));
}

}  // namespace
}  // namespace tavix
