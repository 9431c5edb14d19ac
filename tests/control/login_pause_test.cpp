#include <gtest/gtest.h>

#include "agent_list.h"
#include "fake_launchctl.h"

namespace tavix {
namespace {

using test::AgentList;
using test::FakeLaunchctl;
using test::TestApp;

std::filesystem::path listPath(const TestApp& app, std::string_view label) {
    return app.home() / "Library" / "LaunchAgents" / (std::string(label) + ".plist");
}

AgentList readList(const std::filesystem::path& path) {
    auto list = AgentList::parse(test::readAll(path));
    if (!list) throw std::runtime_error("not a property list: " + path.string());
    return *list;
}

TEST(Pause, EachSwitchWritesOrRemovesTheMarkerAndRefreshes) {
    TestApp app;
    test::writeFile(app.root() / "token", "t");
    app.writeStatus({{"connected", true}});

    app.menu->perform(Command::togglePause);
    EXPECT_EQ(test::readAll(app.root() / "paused"), "");
    EXPECT_EQ(test::modeOf(app.root() / "paused"), 0600u);
    EXPECT_EQ(app.item.tooltip, "Tavix Link · Paused");

    app.menu->perform(Command::togglePause);
    EXPECT_FALSE(std::filesystem::exists(app.root() / "paused"));
    EXPECT_EQ(app.item.tooltip, "Tavix Link · Connected");
    EXPECT_TRUE(app.dialogs.alerts.empty());
}

TEST(Pause, FailuresAreReportedWithoutARefresh) {
    struct Case {
        const char* what;
        const char* stateDir;  // under the test's folder
        std::function<void(TestApp&)> setUp;
        std::string detail;
    } cases[] = {
        // A regular file where the state directory's parent should be: no directory can be made there.
        {"state directory cannot be made", "blocked/state",
         [](TestApp& app) { test::writeFile(app.dir / "blocked", "file"); }, "blocked"},
        // A "paused" directory with something in it is not removed.
        {"marker cannot be removed", "state",
         [](TestApp& app) { test::writeFile(app.root() / "paused" / "keep", "x"); }, "“paused”"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        test::ScopedEnv home("TAVIX_HOME", (app.dir / c.stateDir).string());
        c.setUp(app);
        app.menu->togglePause();
        ASSERT_EQ(app.dialogs.alerts.size(), 1u);
        EXPECT_EQ(app.dialogs.alerts[0].title, "Could not change pause state");
        EXPECT_NE(app.dialogs.alerts[0].text.find(c.detail), std::string::npos) << app.dialogs.alerts[0].text;
        EXPECT_EQ(app.item.menuSets, 0);
        EXPECT_EQ(app.item.tooltip, "");
    }
}

TEST(StartAtLogin, OffAndOnAgainInBothListsWhateverTheirFormat) {
    for (bool bridgeBinary : {false, true}) {
        for (bool menuBinary : {false, true}) {
            SCOPED_TRACE(testing::Message() << "binary bridge " << bridgeBinary << ", binary menu " << menuBinary);
            FakeLaunchctl launchctl;
            TestApp app(launchctl.adjust());
            const auto bridge = AgentList::typical("app.tavix.link", /*withKeepAlive=*/true);
            const auto menu = AgentList::typical("app.tavix.menu", /*withKeepAlive=*/false);
            test::writeFile(listPath(app, "app.tavix.link"), bridge.bytes(bridgeBinary), 0644);
            test::writeFile(listPath(app, "app.tavix.menu"), menu.bytes(menuBinary), 0600);

            for (bool on : {false, true}) {
                app.menu->perform(Command::toggleLogin);
                EXPECT_TRUE(app.dialogs.alerts.empty());
                EXPECT_EQ(app.menu->loginDisabled(), !on);
                if (!on) {
                    EXPECT_EQ(test::readAll(app.root() / "no-login"), "");
                    EXPECT_EQ(test::modeOf(app.root() / "no-login"), 0600u);
                }
                for (auto [label, original] : {std::pair{"app.tavix.link", &bridge}, {"app.tavix.menu", &menu}}) {
                    SCOPED_TRACE(label);
                    const auto path = listPath(app, label);
                    EXPECT_EQ(test::readAll(path).rfind("<?xml", 0), 0u);
                    const auto list = readList(path);
                    EXPECT_EQ(list.boolean("RunAtLoad"), on);
                    EXPECT_EQ(list.size(), original->size());
                    for (const char* key : {"Label", "ProgramArguments", "EnvironmentVariables", "Blob"}) {
                        EXPECT_EQ(list.subtree(key), original->subtree(key)) << key;
                    }
                }
                EXPECT_EQ(readList(listPath(app, "app.tavix.link")).boolean("KeepAlive"), on);
                EXPECT_FALSE(readList(listPath(app, "app.tavix.menu")).has("KeepAlive"));
            }
            EXPECT_EQ(test::modeOf(listPath(app, "app.tavix.link")), 0644u);
            EXPECT_EQ(test::modeOf(listPath(app, "app.tavix.menu")), 0600u);
            EXPECT_EQ(test::countEntries(app.home() / "Library" / "LaunchAgents", "."), 0);
            // Files only: nothing is run and the status is not re-read.
            EXPECT_TRUE(launchctl.calls().empty());
            EXPECT_EQ(app.item.menuSets, 0);
        }
    }
}

TEST(StartAtLogin, StopsAtTheFirstFailureLeavingEarlierStepsDone) {
    const auto bridge = AgentList::typical("app.tavix.link", true);
    const auto menu = AgentList::typical("app.tavix.menu", false);
    struct Case {
        const char* what;
        bool markerBefore;
        std::function<void(TestApp&)> setUp;
        std::string text;
        bool bridgeChanged;
    } cases[] = {
        {"menu list missing", false,
         [&](TestApp& app) { test::writeFile(listPath(app, "app.tavix.link"), bridge.binary()); },
         "Could not read “app.tavix.menu.plist”: No such file or directory", true},
        {"bridge list is an array", true,
         [&](TestApp& app) {
             plist_t array = plist_new_array();
             plist_array_append_item(array, plist_new_bool(1));
             test::writeFile(listPath(app, "app.tavix.link"), AgentList(array).xml());
             test::writeFile(listPath(app, "app.tavix.menu"), menu.xml());
         },
         "“app.tavix.link.plist” does not hold a dictionary at its top level.", false},
        {"bridge list is not a property list", false,
         [&](TestApp& app) {
             test::writeFile(listPath(app, "app.tavix.link"), "RunAtLoad=true\n");
             test::writeFile(listPath(app, "app.tavix.menu"), menu.xml());
         },
         "“app.tavix.link.plist” is not a property list.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        if (c.markerBefore) test::writeFile(app.root() / "no-login", "");
        c.setUp(app);
        const auto menuBefore = test::readAll(listPath(app, "app.tavix.menu"));
        app.menu->toggleLogin();
        EXPECT_EQ(app.dialogs.alerts, (std::vector<test::Message>{{"Could not update login setting", c.text}}));
        EXPECT_EQ(app.menu->loginDisabled(), c.markerBefore);
        EXPECT_EQ(test::readAll(listPath(app, "app.tavix.menu")), menuBefore);
        if (c.bridgeChanged) {
            EXPECT_EQ(readList(listPath(app, "app.tavix.link")).boolean("KeepAlive"), false);
        }
    }
}

TEST(StartAtLogin, AMarkerThatCannotBeWrittenComesLast) {
    TestApp app;
    test::writeFile(app.dir / "blocked", "file");
    test::ScopedEnv home("TAVIX_HOME", (app.dir / "blocked" / "state").string());
    test::writeFile(listPath(app, "app.tavix.link"), AgentList::typical("app.tavix.link", true).xml());
    test::writeFile(listPath(app, "app.tavix.menu"), AgentList::typical("app.tavix.menu", false).xml());
    app.menu->toggleLogin();
    ASSERT_EQ(app.dialogs.alerts.size(), 1u);
    EXPECT_EQ(app.dialogs.alerts[0].title, "Could not update login setting");
    EXPECT_NE(app.dialogs.alerts[0].text.find("blocked"), std::string::npos) << app.dialogs.alerts[0].text;
    EXPECT_EQ(readList(listPath(app, "app.tavix.link")).boolean("RunAtLoad"), false);
    EXPECT_EQ(readList(listPath(app, "app.tavix.menu")).boolean("RunAtLoad"), false);
}

}  // namespace
}  // namespace tavix
