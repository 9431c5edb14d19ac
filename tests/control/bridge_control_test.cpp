#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "control/autostart_entry.h"
#include "support/agent_list.h"
#include "support/test_app.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;
using test::Message;
using Kind = ServiceManagerKind;
using Files = std::map<std::string, std::string>;

// The application with its service manager's program (launchctl or systemctl) replaced by a script that records
// each call's arguments as a line of "calls", prints "output <n>" on its n-th call and exits with the n-th of the
// `statuses` (0 past their end); "hang" waits for the time limit, "slow" takes longer than launchctl may, "quietN"
// exits N without a word, "noinstall" says what systemctl says of a unit without an [Install] section, and "missing"
// leaves the program out.
struct Service {
    Service(Kind kind, const std::string& statuses, const Files& existing = {},
            const std::function<void(Options&)>& adjust = {})
        : program(bin / (kind == Kind::launchd ? "launchctl" : "systemctl")), app([&](Options& options) {
              (kind == Kind::launchd ? options.launchctl : options.systemctl) = program.string();
              options.serviceManager = kind;
              // Only where a call hangs: the other calls get the usual time, however loaded the machine.
              if (statuses.find("hang") != std::string::npos) options.launchTimeout = options.systemctlTimeout = 0.3;
              if (statuses.find("slow") != std::string::npos) options.launchTimeout = 0.2;
              if (adjust) adjust(options);
          }) {
        if (statuses != "missing") {
            // Shell built-ins only: a call costs one process.
            test::writeScript(program, "c='" + (bin / "calls").string() + R"('
echo "$*" >> "$c"
n=0; while read -r _; do n=$((n + 1)); done < "$c"
set -- )" + statuses + R"(
if [ $# -ge $n ]; then shift $((n - 1)); else set --; fi
case ${1:-0} in
hang) exec sleep 30 ;;
slow) sleep 0.5; exit 0 ;;
quiet*) exit "${1#quiet}" ;;
noinstall) echo 'The unit files have no installation config (WantedBy=, RequiredBy=, Also=, Alias= settings in the [Install] section, and DefaultInstance= for template units).'; exit 0 ;;
esac
echo "output $n"
exit "${1:-0}")");
        }
        for (const auto& [path, content] : existing) test::writeFile(app.dir / path, content);
    }
    // The home directory and the user ID read as $HOME and $UID.
    std::string tidy(std::string text) const {
        for (const auto& [from, to] : {std::pair<std::string, std::string>{app.home().string(), "$HOME"},
                                       {"gui/" + std::to_string(::getuid()), "gui/$UID"}}) {
            for (auto at = text.find(from); at != std::string::npos; at = text.find(from))
                text.replace(at, from.size(), to);
        }
        return text;
    }
    // The recorded calls, a line each.
    std::string calls() const { return tidy(test::readAll(bin / "calls")); }
    std::vector<Message> alerts() const {
        auto alerts = app.dialogs.alerts;
        for (auto& alert : alerts) alert.text = tidy(alert.text);
        return alerts;
    }
    // Runs the main queue until no command is under way.
    bool settle() {
        return app.mainQueue.runUntil([this] { return !app.menu->operation(); });
    }
    Files files() const { return test::filesBelow(app.dir.path()); }

    test::TempDir bin;
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", std::nullopt};  // the autostart entry goes under the test's home
    // Where a test puts the system-wide autostart entry.
    test::ScopedEnv configDirs{"XDG_CONFIG_DIRS", "relative:" + (bin / "none").string() + ":" + (bin / "xdg").string()};
    fs::path program;
    test::TestApp app;
};

// The files that differ between two looks: their mode and content now, or "gone".
Files changes(const Files& before, const Files& after) {
    Files result;
    for (const auto& [path, now] : after) {
        if (!before.contains(path) || before.at(path) != now) result[path] = now;
    }
    for (const auto& [path, was] : before) {
        if (!after.contains(path)) result[path] = "gone";
    }
    return result;
}

const std::string kKickstart = "kickstart -k gui/$UID/app.tavix.link\n";
const std::string kBootstrap = "bootstrap gui/$UID $HOME/Library/LaunchAgents/app.tavix.link.plist\n";
const std::string kRestart = "--user restart app.tavix.link.service\n";
const std::string kReload = "--user daemon-reload\n";
const std::string kStart = "--user start app.tavix.link.service\n";
const std::string kStop = "--user stop app.tavix.link.service\n";

// Restart restarts, else loads, alerting only with the load step's output; systemctl is waited for as long as
// systemd takes.
TEST(ServiceCalls, RestartElseLoadAndStopEachAlertSayingWhatHappened) {
    const Message busy{"Task still running", "Wait for the current task to finish before restarting."};
    auto failed = [](std::string text) { return std::vector<Message>{{"Could not start bridge", text}}; };
    struct Case {
        Kind kind;
        std::optional<double> busyFor;  // age of a status that names a task
        std::string statuses;
        std::string calls;
        std::vector<Message> alerts;
        Command command = Command::restart;
    } cases[] = {
        {Kind::launchd, {}, "0", kKickstart, {}},
        {Kind::launchd, {}, "113 5", kKickstart + kBootstrap, failed("output 2\n")},
        // Ended at the time limit: a failure like any other.
        {Kind::launchd, {}, "hang 0", kKickstart + kBootstrap, {}},
        {Kind::launchd, {}, "missing", "", failed("Could not start “launchctl”: No such file or directory")},
        // Read afresh, not from the last refresh; a stale status names no task.
        {Kind::launchd, 0, "", "", {busy}},
        {Kind::launchd, 60'000, "", kKickstart, {}},
        {Kind::systemd, {}, "0", kRestart, {}},
        {Kind::systemd, {}, "5 0 0", kRestart + kReload + kStart, {}},
        {Kind::systemd, {}, "5 0 1", kRestart + kReload + kStart, failed("output 3\n")},
        {Kind::systemd, {}, "5 1", kRestart + kReload, failed("output 2\n")},
        {Kind::systemd,
         {},
         "quiet3 quiet3",
         kRestart + kReload,
         failed("“systemctl --user daemon-reload” failed with status 3 and printed nothing.")},
        {Kind::systemd, {}, "slow", kStop, {}, Command::disconnect},
        {Kind::systemd,
         {},
         "hang",
         kStop,
         {{"Could not stop bridge",
           "“systemctl --user stop app.tavix.link.service” did not finish within 0.3 seconds and was stopped."}},
         Command::disconnect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Service service(c.kind, c.statuses, {{"state/token", "t"}});
        service.app.writeStatus({{"busy", c.busyFor ? "job" : ""}, {"connected", true}}, c.busyFor.value_or(0));
        service.app.dialogs.confirmAnswers = {true};
        service.app.menu->perform(c.command);
        ASSERT_TRUE(service.settle());
        EXPECT_EQ(service.calls(), c.calls);
        EXPECT_EQ(service.alerts(), c.alerts);
    }
}

TEST(Disconnect, StopsTheBridgeThenRemovesThePairingUnlessTheBridgeStillRuns) {
    const Message question{"Disconnect this Mac?",
                           "This stops the local bridge and removes its pairing. Other devices are unchanged. Use "
                           "Devices → Revoke to invalidate server tokens too."};
    const Files paired = {
        {"state/token", "t"}, {"state/config", "SERVER=https://example.test\n"}, {"state/paused", ""}};
    const Files unpaired = {{"state/token", "gone"}, {"state/status.json", "gone"}};
    struct Case {
        bool confirmed;
        const char* stop;  // the stop command's status
        double statusAge;  // a minute: the bridge is not running
        Files changed;
        std::vector<Message> alerts;
        bool tokenGoesMeanwhile = false;  // removed by someone else while the question is open
    } cases[] = {
        {false, "0", 0, {}, {}},
        {true, "0", 0, unpaired, {}},
        {true, "3", 60'000, unpaired, {}},
        {true, "3", 0, {}, {{"Could not stop bridge", "output 1\n"}}},
        {true,
         "0",
         60'000,
         {{"state/token", "gone"}},
         {{"Could not disconnect", "Could not remove “token”: No such file or directory"}},
         true},
    };
    for (Kind kind : {Kind::launchd, Kind::systemd}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << ", row " << &c - cases);
            Service service(kind, c.stop, paired);
            auto& app = service.app;
            app.writeStatus({{"connected", true}}, c.statusAge);
            app.dialogs.confirmAnswers = {c.confirmed};
            const Files before = service.files();
            if (c.tokenGoesMeanwhile) app.dialogs.whileAsking = [&] { fs::remove(app.root() / "token"); };
            app.menu->perform(Command::disconnect);
            ASSERT_TRUE(service.settle());
            EXPECT_EQ(app.application.activations, 1 + static_cast<int>(c.alerts.size()));
            EXPECT_EQ(app.dialogs.confirmations, std::vector{question});
            const std::string stop =
                kind == Kind::launchd ? "bootout gui/$UID/app.tavix.link\n" : "--user stop app.tavix.link.service\n";
            EXPECT_EQ(service.calls(), c.confirmed ? stop : "");
            EXPECT_EQ(service.alerts(), c.alerts);
            EXPECT_EQ(changes(before, service.files()), c.changed);
        }
    }
}

TEST(PauseAndStartAtLogin, SwitchEachPlaceInOrderAndStopAtTheFirstFailure) {
    const std::string bridge = "home/Library/LaunchAgents/app.tavix.link.plist";
    const std::string menu = "home/Library/LaunchAgents/app.tavix.menu.plist";
    const std::string entry = "home/.config/autostart/app.tavix.menu.desktop";
    const std::string off = "state/no-login";
    auto with = [](Files files, const std::string& path, const std::string& content) {
        files[path] = content;
        return files;
    };
    auto list = [](std::string_view label, bool on) { return "644 " + test::agentList(label, on); };
    // The bridge's list in binary form: it comes back as XML.
    auto lists = [&](std::optional<bool> on) {
        return with({{menu, test::agentList("app.tavix.menu", on)}}, bridge,
                    test::agentList("app.tavix.link", on, true));
    };
    const Files installed = lists({}), switchedOff = with(lists(false), off, "");
    const Files bridgeOnly = {{bridge, installed.at(bridge)}}, none, marker = {{off, ""}},
                token = {{"state/token", ""}};
    const Files listsOff = {{bridge, list("app.tavix.link", false)}, {menu, list("app.tavix.menu", false)}};
    const Files listsOn = {{bridge, list("app.tavix.link", true)}, {menu, list("app.tavix.menu", true)}};
    const Files entryOff = {{entry, "644 " + autostartEntry("/usr/bin/tavix-menu", false)}, {off, "600 "}};
    const Files entryOn = {{entry, "644 " + autostartEntry("/usr/bin/tavix-menu", true)}, {off, "gone"}};
    const Files hidden = {{entry, autostartEntry("/usr/bin/tavix-menu", false)}, {off, ""}};
    const std::string disable = "--user disable app.tavix.link.service\n";
    const std::string enable = "--user enable app.tavix.link.service\n";
    const Command login = Command::toggleLogin, pause = Command::togglePause;
    struct Case {
        Command command;
        Kind kind;
        Files existing;
        Files changed;
        int refreshes;
        std::string failure;  // the alert's text
        std::string calls = "";
        std::string statuses = "";
        bool systemEntry = false;  // a system-wide autostart entry starts us unless the user's own hides it
    } cases[] = {
        {pause, Kind::launchd, token, with(none, "state/paused", "600 "), 1, ""},
        {pause, Kind::launchd, with(token, "state/paused", ""), with(none, "state/paused", "gone"), 1, ""},
        {pause, Kind::launchd, with(token, "state/paused/keep", ""), none, 0,
         "Could not remove “paused”: Directory not empty"},
        {login, Kind::launchd, installed, with(listsOff, off, "600 "), 0, ""},
        {login, Kind::launchd, switchedOff, with(listsOn, off, "gone"), 0, ""},
        {login, Kind::launchd, bridgeOnly, with(none, bridge, listsOff.at(bridge)), 0,
         "Could not read “app.tavix.menu.plist”: No such file or directory"},
        {login, Kind::launchd, with(switchedOff, bridge, test::listBytes(plist_new_array())), none, 0,
         "“app.tavix.link.plist” does not hold a dictionary at its top level."},
        {login, Kind::launchd, with(lists(false), off + "/keep", ""), listsOn, 0,
         "Could not remove “no-login”: Directory not empty"},
        {login, Kind::systemd, none, entryOff, 1, "", disable},
        {login, Kind::systemd, marker, entryOn, 1, "", enable},
        {login, Kind::systemd, none, none, 1, "output 1\n", disable, "1"},
        // Exit status 0, yet the unit cannot start at login.
        {login, Kind::systemd, marker, none, 1,
         "“app.tavix.link.service” has no [Install] section, so systemd cannot start the bridge at login.", enable,
         "noinstall"},
        {login, Kind::systemd, with(none, "home/.config/autostart", ""), none, 1,
         "Could not create the folder “$HOME/.config/autostart”: Not a directory", disable},
        {login, Kind::systemd, none, entryOff, 1, "", disable, "", true},
        {login, Kind::systemd, hidden, {{entry, "gone"}, {off, "gone"}}, 1, "", enable, "", true},
        {login, Kind::systemd, marker, {{off, "gone"}}, 1, "", enable, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Service service(c.kind, c.statuses, c.existing);
        if (c.systemEntry) test::writeFile(service.bin / "xdg/autostart/app.tavix.menu.desktop", "[Desktop Entry]\n");
        const Files before = service.files();
        service.app.menu->perform(c.command);
        ASSERT_TRUE(service.settle());
        EXPECT_EQ(service.calls(), c.calls);
        const std::vector<Message> alerts = {
            {c.command == pause ? "Could not change pause state" : "Could not update login setting", c.failure}};
        EXPECT_EQ(service.alerts(), c.failure.empty() ? std::vector<Message>{} : alerts);
        EXPECT_EQ(changes(before, service.files()), c.changed);
        EXPECT_EQ(service.app.item.refreshes, c.refreshes);
    }
}

TEST(ServiceManager, LaunchdWhereLaunchctlIsThereElseSystemd) {
    Options options;
    options.serviceManager = Kind::launchd;
    EXPECT_EQ(makeServiceManager(options)->program(), "/bin/launchctl");
    options.serviceManager.reset();
    EXPECT_EQ(makeServiceManager(options)->program(),
              fs::exists("/bin/launchctl") ? "/bin/launchctl" : "/usr/bin/systemctl");
}

// Relative folders in the XDG variables are invalid and ignored, even where such a folder exists.
TEST(AutostartEntry, OnlyAbsoluteFoldersCount) {
    test::TempDir dir;
    test::writeFile(dir / "rel/autostart/app.tavix.menu.desktop", "[Desktop Entry]\n");
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    const std::pair<std::string, bool> dirs[] = {{"rel", false}, {(dir / "rel").string(), true}};
    for (const auto& [value, found] : dirs) {
        test::ScopedEnv configDirs("XDG_CONFIG_DIRS", value);
        EXPECT_EQ(systemAutostartEntryExists(), found) << value;
    }
    const std::pair<std::string, fs::path> homes[] = {{"rel", "/home/u/.config"}, {"/etc/u", "/etc/u"}};
    for (const auto& [value, base] : homes) {
        test::ScopedEnv configHome("XDG_CONFIG_HOME", value);
        EXPECT_EQ(autostartEntryPath("/home/u"), base / "autostart/app.tavix.menu.desktop") << value;
    }
    fs::current_path(cwd);
}

TEST(AutostartEntry, StartsAfterThePanelAndValidatesWithTheProgramQuoted) {
    struct Case {
        const char* program;
        bool on;
        const char* execLine;
    } cases[] = {
        {"/usr/bin/tavix-menu", false, "\nExec=/usr/bin/tavix-menu\n"},
        {"/opt/Tavix Link/tavix-menu", true, "\nExec=\"/opt/Tavix Link/tavix-menu\"\n"},
        {"/opt/a$b/100%", false, "\nExec=\"/opt/a\\\\$b/100%%\"\n"},
        {"/opt/100%/tavix-menu", true, "\nExec=\"/opt/100%%/tavix-menu\"\n"},
        {"/opt/back\\slash", true, "\nExec=\"/opt/back\\\\\\\\slash\"\n"},
    };
    const bool validator = std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0;
    test::TempDir dir;
    for (const auto& c : cases) {
        const std::string text = autostartEntry(c.program, c.on);
        EXPECT_NE(text.find(c.execLine), std::string::npos) << text;
        EXPECT_NE(text.find(c.on ? "\nHidden=false\n" : "\nHidden=true\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nX-KDE-autostart-after=panel\n"), std::string::npos) << text;
        test::writeFile(dir / "app.tavix.menu.desktop", text);
        const std::string command = "desktop-file-validate '" + (dir / "app.tavix.menu.desktop").string() + "'";
        EXPECT_TRUE(!validator || std::system(command.c_str()) == 0) << text;
    }
}

}  // namespace
}  // namespace tavix
