#include <gtest/gtest.h>

#include <cstdlib>

#include "control/autostart_entry.h"
#include "fake_launchctl.h"

namespace tavix {
namespace {

using test::FakeLaunchctl;
using test::TestApp;

// The same recording stand-in, as systemctl.
auto asSystemctl(const FakeLaunchctl& fake) {
    return [&fake](Options& options) {
        options.systemctl = fake.path.string();
        options.serviceManager = ServiceManagerKind::systemd;
    };
}

const std::string kRestart = "--user restart app.tavix.link.service";
const std::string kReload = "--user daemon-reload";
const std::string kStart = "--user start app.tavix.link.service";

TEST(SystemdService, RestartThenReloadAndStartWhenItFails) {
    struct Case {
        std::initializer_list<int> statuses;
        std::vector<std::string> calls;
        std::vector<test::Message> alerts;
    } cases[] = {
        {{0}, {kRestart}, {}},
        {{5, 0, 0}, {kRestart, kReload, kStart}, {}},
        {{5, 0, 1}, {kRestart, kReload, kStart}, {{"Could not start bridge", "--user output 3\n"}}},
        {{5, 1}, {kRestart, kReload}, {{"Could not start bridge", "--user output 2\n"}}},
    };
    for (const auto& c : cases) {
        FakeLaunchctl systemctl;
        systemctl.statuses(c.statuses);
        TestApp app(asSystemctl(systemctl));
        test::writeFile(app.root() / "token", "t");
        app.menu->perform(Command::restart);
        ASSERT_TRUE(test::settle(app));
        EXPECT_EQ(systemctl.calls(), c.calls);
        EXPECT_EQ(app.dialogs.alerts, c.alerts);
    }
}

TEST(SystemdService, DisconnectStopsTheService) {
    FakeLaunchctl systemctl;
    TestApp app(asSystemctl(systemctl));
    test::writeFile(app.root() / "token", "t");
    app.writeStatus({{"connected", true}});
    app.dialogs.confirmAnswers.push_back(true);
    app.menu->perform(Command::disconnect);
    ASSERT_TRUE(test::settle(app));
    EXPECT_EQ(systemctl.calls(), std::vector<std::string>{"--user stop app.tavix.link.service"});
    EXPECT_FALSE(std::filesystem::exists(app.root() / "token"));
    EXPECT_FALSE(std::filesystem::exists(app.root() / "status.json"));
}

TEST(SystemdService, DisconnectKeepsThePairingWhenARunningBridgeWillNotStop) {
    FakeLaunchctl systemctl;
    systemctl.statuses({1});
    TestApp app(asSystemctl(systemctl));
    test::writeFile(app.root() / "token", "t");
    app.writeStatus({{"connected", true}});
    app.dialogs.confirmAnswers.push_back(true);
    app.menu->perform(Command::disconnect);
    ASSERT_TRUE(test::settle(app));
    EXPECT_EQ(app.dialogs.alerts, (std::vector<test::Message>{{"Could not stop bridge", "--user output 1\n"}}));
    EXPECT_TRUE(std::filesystem::exists(app.root() / "token"));
}

TEST(SystemdService, StartAtLoginSwitchesTheUnitTheAutostartEntryAndTheMarker) {
    FakeLaunchctl systemctl;
    TestApp app(asSystemctl(systemctl));
    test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    const auto entry = app.home() / ".config/autostart/app.tavix.menu.desktop";

    app.menu->perform(Command::toggleLogin);
    ASSERT_TRUE(test::settle(app));
    EXPECT_EQ(systemctl.calls().back(), "--user disable app.tavix.link.service");
    EXPECT_NE(test::readAll(entry).find("\nHidden=true\n"), std::string::npos);
    EXPECT_TRUE(app.menu->loginDisabled());

    app.menu->perform(Command::toggleLogin);
    ASSERT_TRUE(test::settle(app));
    EXPECT_EQ(systemctl.calls().back(), "--user enable app.tavix.link.service");
    const std::string text = test::readAll(entry);
    EXPECT_NE(text.find("\nHidden=false\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=/usr/bin/tavix-menu\n"), std::string::npos);
    EXPECT_NE(text.find("\nX-KDE-autostart-after=panel\n"), std::string::npos);
    EXPECT_FALSE(app.menu->loginDisabled());
    EXPECT_TRUE(app.dialogs.alerts.empty());
}

TEST(SystemdService, StartAtLoginStopsAtTheFirstFailure) {
    // The entry's place is settled when the application starts.
    test::TempDir config;
    test::ScopedEnv configHome("XDG_CONFIG_HOME", config.path().string());
    {
        FakeLaunchctl systemctl;
        systemctl.statuses({1});
        TestApp app(asSystemctl(systemctl));
        app.menu->perform(Command::toggleLogin);
        ASSERT_TRUE(test::settle(app));
        EXPECT_EQ(app.dialogs.alerts,
                  (std::vector<test::Message>{{"Could not update login setting", "--user output 1\n"}}));
        EXPECT_FALSE(std::filesystem::exists(config / "autostart"));
        EXPECT_FALSE(app.menu->loginDisabled());
    }
    {
        FakeLaunchctl systemctl;
        TestApp app(asSystemctl(systemctl));
        test::writeFile(config / "autostart", "a file where the folder should be");
        app.menu->perform(Command::toggleLogin);
        ASSERT_TRUE(test::settle(app));
        ASSERT_EQ(app.dialogs.alerts.size(), 1u);
        EXPECT_EQ(app.dialogs.alerts[0].title, "Could not update login setting");
        EXPECT_NE(app.dialogs.alerts[0].text.find("autostart"), std::string::npos);
        EXPECT_FALSE(app.menu->loginDisabled());
    }
}

TEST(SystemdService, ChosenOnceFromWhatTheSystemHas) {
    Options options;
    options.serviceManager = ServiceManagerKind::launchd;
    EXPECT_EQ(makeServiceManager(options)->kind(), ServiceManagerKind::launchd);
    options.serviceManager.reset();
    const auto expected = std::filesystem::exists("/bin/launchctl") ? ServiceManagerKind::launchd
                                                                    : ServiceManagerKind::systemd;
    EXPECT_EQ(makeServiceManager(options)->kind(), expected);
    EXPECT_EQ(makeServiceManager(options)->program(),
              expected == ServiceManagerKind::launchd ? "/bin/launchctl" : "/usr/bin/systemctl");
}

TEST(AutostartEntry, ExecQuotesWhatTheFormatReserves) {
    struct Case {
        const char* program;
        const char* exec;
    } cases[] = {
        {"/usr/bin/tavix-menu", "/usr/bin/tavix-menu"},
        {"/opt/Tavix Link/tavix-menu", "\"/opt/Tavix Link/tavix-menu\""},
        {"/opt/a$b/100%", "\"/opt/a\\\\$b/100%%\""},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\""},
    };
    for (const auto& c : cases) EXPECT_EQ(desktopExec(c.program), c.exec) << c.program;
}

TEST(AutostartEntry, ValidatesAsADesktopEntry) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0) GTEST_SKIP() << "no validator";
    test::TempDir dir;
    for (bool on : {true, false}) {
        test::writeFile(dir / "app.tavix.menu.desktop", autostartEntry("/opt/Tavix Link/tavix-menu", on));
        const std::string command = "desktop-file-validate '" + (dir / "app.tavix.menu.desktop").string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << on;
    }
}

}  // namespace
}  // namespace tavix
