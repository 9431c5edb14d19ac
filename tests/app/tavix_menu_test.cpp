#include <gtest/gtest.h>

#include "platform/system/single_instance.h"
#include "support/test_app.h"

namespace tavix {
namespace {

using test::TestApp;

// Without a tray, ten seconds on: the settings window (centred when built then) and one alert.
TEST(Startup, TheIconAndTheTimerAndTheSettingsWindowWhenUnpairedAskedForOrWithoutATray) {
    struct Case {
        bool paired;
        std::vector<std::string> args;
        int builds;  // at start
        bool inTray;
        std::vector<bool> presents;  // ten seconds on, centred or not
    } cases[] = {
        {false, {"tavix-menu"}, 1, true, {true}},
        {true, {"tavix-menu"}, 0, true, {}},
        {true, {"tavix-menu", "--settings"}, 1, false, {true, false}},
        {true, {"tavix-menu", "--Settings"}, 0, false, {true}},
        {false, {"tavix-menu"}, 1, false, {true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.paired << " " << testing::PrintToString(c.args) << " " << c.inTray);
        TestApp app;
        if (c.paired) test::writeFile(app.root() / "token", "t");
        app.options.arguments = c.args;
        TavixMenu menu(app.menu->ports(), app.options);
        menu.applicationDidFinishLaunching();
        const std::string label = c.paired ? "Bridge not running" : "Not paired";
        EXPECT_EQ(std::tie(app.item.creations, app.item.accessibleName, app.item.tooltip),
                  std::make_tuple(1, "Tavix Link", "Tavix Link · " + label));
        EXPECT_EQ(app.item.rows.front().title, "Tavix Link · " + label);
        EXPECT_EQ(app.application.timerSeconds, 3.0);
        EXPECT_EQ(app.settings.builds, c.builds);
        EXPECT_EQ(app.settings.presents, std::vector<bool>(c.builds, true));
        EXPECT_EQ(app.settings.labels.has_value() ? app.settings.labels->status : "", c.builds ? label : "");
        ASSERT_EQ(app.application.later.size(), 1u);
        EXPECT_EQ(app.application.later[0].first, 10.0);
        app.item.inTray = c.inTray;
        app.application.later[0].second();
        EXPECT_EQ(app.settings.presents, c.presents);
        const std::vector<test::Message> alerts = {{"No tray found",
                                                    "This desktop shows no tray icons. The Tavix Link icon appears "
                                                    "by itself once a tray is there; on GNOME, turn on the "
                                                    "AppIndicator extension (Debian package "
                                                    "gnome-shell-extension-appindicator). Starting Tavix Link again "
                                                    "brings this window back."}};
        EXPECT_EQ(app.dialogs.alerts, c.inTray ? std::vector<test::Message>{} : alerts);
    }
}

TEST(Startup, OneCopyPerSessionTheBusFirstElseTheLock) {
    const struct {
        InstanceClaim claim;
        bool lockHeld;  // by another copy that runs without a session bus
        bool runs;
    } cases[] = {
        {InstanceClaim::claimed, true, true},
        {InstanceClaim::another, false, false},
        {InstanceClaim::unavailable, false, true},
        {InstanceClaim::unavailable, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.claim) << " " << c.lockHeld);
        TestApp app;
        app.application.claim = c.claim;
        const int held = c.lockHeld ? acquireInstanceLock(app.options.instanceLock) : -1;
        app.menu->applicationDidFinishLaunching();
        EXPECT_EQ(app.application.claimedFor, app.menu.get());
        EXPECT_EQ(app.application.terminations, c.runs ? 0 : 1);
        EXPECT_EQ(app.item.creations, c.runs ? 1 : 0);
        EXPECT_EQ(app.application.timerSeconds.has_value(), c.runs);
        if (held >= 0) ::close(held);
    }
}

// The window is built once, with the server's line as it was then, and brought back after.
TEST(Startup, AnotherStartBringsTheSettingsWindowForwardAndNamedCommandsRunLater) {
    TestApp app;
    test::writeFile(app.root() / "token", "t");
    test::writeFile(app.root() / "config", "SERVER=example\u202e.test\n");
    app.menu->applicationDidFinishLaunching();
    EXPECT_EQ(app.settings.builds, 0);
    app.menu->reopen();
    test::writeFile(app.root() / "config", "SERVER=https://other.test\n");
    app.menu->reopen();
    EXPECT_EQ(app.settings.builds, 1);
    EXPECT_EQ(app.settings.serverLine, "example\\u202e.test");
    EXPECT_EQ(app.settings.presents, (std::vector<bool>{true, false}));
    EXPECT_EQ(app.application.activations, 2);
    EXPECT_EQ(app.settings.target, app.menu.get());
    const auto quit = app.menu->activateAction("Quit");
    ASSERT_TRUE(quit.has_value());
    EXPECT_TRUE(quit->unknown);
    EXPECT_EQ(app.menu->activateAction("quit"), std::nullopt);
    EXPECT_EQ(app.application.terminations, 0) << "after the caller has its answer";
    app.mainQueue.drain();
    EXPECT_EQ(app.application.terminations, 1);
}

// Every way in obeys the menu's rules: another program asking for a greyed-out command gets the reason and
// nothing runs; one operation at a time, shown at once; one form at a time.
TEST(Commands, OneSetOfRulesForEveryWayIn) {
    test::TempDir bin;
    const auto launchctl = test::writeScript(bin / "launchctl", "sleep 1");
    TestApp app([&](Options& options) { options.launchctl = launchctl.string(); });
    const auto refusal = [&](const char* name) {
        auto answer = app.menu->activateAction(name);
        return answer ? answer->reason : std::string();
    };
    EXPECT_EQ(refusal("restart"), "Not paired: Pair this computer with an account first.");
    const auto asked = app.menu->request(Command::restart);  // the command line's way in
    EXPECT_EQ(asked ? std::string(asked->title) : "", "Not paired");
    test::writeFile(app.root() / "token", "t");
    app.writeStatus({{"connected", true}, {"busy", "job"}});
    EXPECT_EQ(refusal("disconnect"), "Task still running: Wait for the current task to finish before disconnecting.");
    EXPECT_EQ(app.mainQueue.drain(), 0);
    EXPECT_TRUE(app.dialogs.confirmations.empty());
    EXPECT_TRUE(app.dialogs.alerts.empty()) << "the caller is told, not the user";

    // Restart twice in a row: one program runs, the menu says so at once, and the second click says why not.
    app.writeStatus({{"connected", true}});
    app.menu->perform(Command::restart);
    app.menu->perform(Command::restart);
    app.mainQueue.drain();
    EXPECT_EQ(app.item.rows.at(2).title, "Working…");
    EXPECT_EQ(app.dialogs.alerts, (std::vector<test::Message>{{"Task in progress",
                                                               "Wait for the current task or connection operation "
                                                               "to finish."}}));
    EXPECT_EQ(app.dialogs.outcomes, std::vector<Outcome>{Outcome::refused});
    EXPECT_EQ(refusal("pairPhone"), "Task in progress: Wait for the current task or connection operation to finish.");
    EXPECT_TRUE(app.mainQueue.runUntil([&] { return !app.menu->operation(); }));
    EXPECT_EQ(app.dialogs.alerts.size(), 1u);

    // A form asked for while one is open brings that one forward.
    TestApp idle;
    idle.dialogs.whileAsking = [&] {
        for (Command command : {Command::pairPhone, Command::connectPhone, Command::pairAccount}) {
            idle.menu->perform(command);
        }
        EXPECT_EQ(idle.menu->activateAction("pairAccount"), std::nullopt);
        idle.mainQueue.drain();
    };
    idle.menu->perform(Command::pairPhone);
    EXPECT_EQ(idle.dialogs.forms.size(), 1u);
    EXPECT_EQ(idle.dialogs.raises, 4);
}

// Some panels never say that their menu closed: nothing may wait for that.
TEST(Refresh, EachTickAndEachOpeningReadTheFilesAnewWhetherTheMenuWasClosedOrNot) {
    TestApp app;
    test::writeFile(app.root() / "token", "t");
    app.menu->applicationDidFinishLaunching();
    app.item.delegate->menuWillOpen();
    // The bridge's status: "busy", "up", "gone" (removed) or "" (as it was).
    const std::tuple<std::string, const char*, bool> steps[] = {
        {"busy", "Task in progress", false},
        {"gone", "Bridge not running", false},
        {"up", "Connected", true},
        {"", "Connected", true},
    };
    for (const auto& [bridge, label, opening] : steps) {
        if (bridge == "gone") std::filesystem::remove(app.root() / "status.json");
        if (bridge == "busy" || bridge == "up")
            app.writeStatus({{"connected", true}, {"busy", bridge == "busy" ? "job" : ""}});
        app.mainQueue.drain();  // each opening on a turn of the event loop of its own
        const int sets = app.item.menuSets;
        opening ? app.item.delegate->menuWillOpen() : app.application.tick();
        EXPECT_EQ(app.item.menuSets, sets + 1) << "rebuilt once";
        EXPECT_EQ(app.item.rows.front().title, "Tavix Link · " + std::string(label));
        EXPECT_EQ(app.item.tooltip, "Tavix Link · " + std::string(label));
    }
    EXPECT_EQ(app.settings.labelSets, 0) << "no live labels before the settings window";
    // A panel that asks many times at once is served by one refresh.
    app.mainQueue.drain();
    const int refreshes = app.item.refreshes;
    for (int i = 0; i < 300; ++i) app.item.delegate->menuWillOpen();
    EXPECT_EQ(app.item.refreshes, refreshes + 1);
}

TEST(Refresh, EachStateFileShowsAsSoonAsItChangesWithoutWaitingForTheTimer) {
    TestApp app;
    app.menu->applicationDidFinishLaunching();  // unpaired: with the settings window
    // The tooltip, the window's status and activity lines, and the menu's rows with their checkmarks, in one text.
    const auto shown = [&] {
        std::string text = app.item.tooltip + "|" + app.settings.labels->status + "|" + app.settings.labels->activity;
        for (const auto& r : app.item.rows) text += "|" + r.title + (r.checked ? (*r.checked ? "[x]" : "[ ]") : "");
        return text;
    };
    const std::string connected = nlohmann::json{{"at", app.clock.now}, {"connected", true}}.dump();
    const std::tuple<const char*, std::string, std::string, const char*> steps[] = {
        {"token", "t", "Bridge not running", "|Bridge not running|"},
        {"status.json", connected, "Connected", "|Tavix Link · Connected|"},
        {"paused", "", "Paused", "|New tasks are paused|"},
        {"no-login", "", "Paused", "|Start at Login[ ]|"},
        {"config", "SERVER=https://example.test\n", "Paused", "|example.test|"},
    };
    for (const auto& [file, content, label, alsoShown] : steps) {
        test::writeFile(app.root() / file, content);
        EXPECT_TRUE(app.mainQueue.runUntil([&] {
            return shown().starts_with("Tavix Link · " + label + "|") && shown().find(alsoShown) != std::string::npos;
        })) << file
            << ": " << shown();
    }
}

}  // namespace
}  // namespace tavix
