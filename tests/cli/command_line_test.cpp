#include <gtest/gtest.h>

#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli_harness.h"
#include "platform/system/system_clock.h"
#include "platform/system/utf8.h"
#include "support/https_test_server.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;
using cli::kNotConnected;
using test::CliHarness;

TEST(CommandLine, UsageHelpAndVersion) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        bool onOutput;  // else on standard error
        std::string says;
    } cases[] = {
        {{}, 2, false, "tavix: a command is needed\n\nUsage: tavix COMMAND"},
        {{"--help"}, 0, true, "  phone pair --qr            pair an Android phone by QR code\n"},
        {{"--version"}, 0, true, "tavix 1.0.0\n"},
        {{"frob"}, 2, false, "tavix: unknown command 'frob'"},
        {{"status", "--yes"}, 2, false, "unknown option '--yes'\n\nUsage: tavix status"},
        {{"login", "maybe"}, 2, false, "Usage: tavix login on|off"},
        {{"phone", "pair", "--qr", "10.0.0.2:5555"}, 2, false, "--qr takes no address"},
        {{"phone", "connect", "a:1", "b:2"}, 2, false, "unexpected argument 'b:2'"},
        {{"pair", "--server"}, 2, false, "--server needs a URL"},
        {{"phone", "--help"}, 0, true, "Usage: tavix phone pair [ADDRESS]"},
        {{"disconnect", "-h"}, 0, true, "-y, --yes"},
        {{"help", "logs"}, 0, true, "Usage: tavix logs [-n LINES] [-f]"},
        {{"stat"}, 2, false, "unknown command 'stat' (did you mean 'status'?)"},
        {{"--no-color", "phone", "conect"}, 2, false, "unknown phone command 'conect' (did you mean 'connect'?)"},
        {{"logs", "-n", "x"}, 2, false, "-n needs a number of lines"},
        {{"wait", "--timeout", "0"}, 2, false, "--timeout needs a number of seconds above 0"},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        const auto result = cli.run(c.arguments);
        const std::string& stream = c.onOutput ? result.out : result.err;
        EXPECT_EQ(result.status, c.status) << c.says;
        EXPECT_NE(stream.find(c.says), std::string::npos) << stream;
        EXPECT_TRUE((c.onOutput ? result.err : result.out).empty()) << c.says;
    }
    // Every help fits an 80-column terminal.
    for (const char* command :
         {"", "status", "wait", "pair", "phone", "pause", "restart", "login", "disconnect", "logs", "devices"}) {
        CliHarness cli;
        std::istringstream help(cli.run({"help", command}).out);
        for (std::string line; std::getline(help, line);) EXPECT_LE(graphemeCount(line), 80u) << line;
    }
}

// What `status --json` adds to the status model: a word per state, what a stale status hides, the exit status.
TEST(CommandLine, StatusAsJson) {
    using Json = nlohmann::json;
    std::string phones;
    for (int i = 0; i < 22; ++i)
        phones += std::string(i == 0 ? "" : ",") + R"({"model":"P)" + std::to_string(i) + "\"}";
    struct Case {
        std::string members;  // beside an "at" `age` ms old
        double age;
        const char* markers;   // token and paused
        const char* expected;  // the keys that depend on them
        int exit = kNotConnected;
    } cases[] = {
        {"", 0, "", R"({"state":"not-paired","fresh":true,"error":null,"phones":[]})"},
        {R"("connected":true,"busy":"job")", 0, "tp", R"({"state":"pausing","working":true})", 0},
        {R"("connected":true)", 30'000, "tp", R"({"state":"paused","fresh":false,"paused":true})"},
        {R"("connected":true,"computer":true,"error":"down","devices":[{"model":"M"}])", 26'000, "t",
         R"({"state":"not-running","error":null,"phones":[],"computer":false})"},
        {R"("connected":true,"busy":"job","computer":true)", 24'000, "t",
         R"({"state":"task","working":true,"computer":true})", 0},
        {R"("connected":true)", 0, "t", R"({"state":"connected","working":false})", 0},
        {R"("error":"offline","devices":[{"model":"P","state":"device","screen":"on"}])", 0, "t",
         R"({"state":"unreachable","error":"offline","phones":[{"model":"P","state":"device","label":"on"}]})"},
        {R"("connected":true,"devices":[)" + phones + "]", 0, "t", R"({"morePhones":2})", 0},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        cli.writeStatus(c.members, c.age);
        if (std::string(c.markers).find('t') != std::string::npos) test::writeFile(cli.root() / "token", "t");
        if (std::string(c.markers).find('p') != std::string::npos) test::writeFile(cli.root() / "paused", "");
        const auto result = cli.run({"status", "--json"});
        EXPECT_EQ(result.status, c.exit) << c.members << result.err;
        const Json json = Json::parse(result.out);
        const Json expected = Json::parse(c.expected);
        for (const auto& [key, value] : expected.items()) {
            EXPECT_EQ(json[key], value) << key << " of " << c.members;
        }
    }
    // What is not a status object at all reads as no status; the other keys come from the other files, and "at"
    // is when it was read.
    {
        CliHarness cli;
        test::writeFile(cli.root() / "status.json", "[1,2]");
        test::writeFile(cli.root() / "config", "SERVER=https://example.test:8443\n");
        test::writeFile(cli.root() / "no-login", "");
        Json json = Json::parse(cli.run({"status", "--json"}).out);
        const double now = SystemClock().nowMilliseconds();
        EXPECT_NEAR(json["at"].get<double>(), now, 60'000);
        json.erase("at");
        EXPECT_EQ(json, Json::parse(R"({"connection":"Not paired","state":"not-paired",)"
                                    R"("server":"https://example.test:8443","host":"example.test","paired":false,)"
                                    R"("paused":false,"startAtLogin":false,"fresh":false,"working":false,)"
                                    R"("error":null,"phones":[],"morePhones":0,"computer":false})"));
    }
}

// The menu's information rows (the ui's), then the command's own lines; 3 when the bridge is not connected.
TEST(CommandLine, StatusLinesAreTheMenuInformationRows) {
    struct Case {
        std::string members;
        double age;
        const char* markers;  // paused and no-login
        std::string lines;
        int exit = 0;
    } cases[] = {
        {R"("connected":true,"computer":true,"devices":[{"model":"Pixel 7","state":"device","screen":"on"}])", 0, "",
         "Tavix Link · Connected\nexample.test\nPhone: Pixel 7 · on\nComputer tasks available\nPaused: no\n"
         "Start at login: yes\nPaired: yes\n"},
        {R"("connected":true)", 40'000, "pn", "Paused: yes\nStart at login: no\nPaired: yes\n", kNotConnected},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        cli.writeStatus(c.members, c.age);
        test::writeFile(cli.root() / "token", "t");
        test::writeFile(cli.root() / "config", "SERVER=https://example.test/\n");
        if (std::string(c.markers).find('p') != std::string::npos) test::writeFile(cli.root() / "paused", "");
        if (std::string(c.markers).find('n') != std::string::npos) test::writeFile(cli.root() / "no-login", "");
        const auto result = cli.run({"status"});
        EXPECT_EQ(result.status, c.exit);
        EXPECT_TRUE(result.out.ends_with(c.lines)) << result.out;
    }
}

// `wait` ends as soon as the bridge is connected, or fails at its time limit.
TEST(CommandLine, WaitsUntilConnected) {
    struct Case {
        std::string status;  // status.json members, or nothing for no status yet
        bool connectsLater;
        int exit;
        std::string err;
    } cases[] = {
        {R"("connected":true,"busy":"job")", false, 0, ""},
        {"", true, 0, ""},
        {R"("connected":false)", false, 1,
         "Not connected\nThe bridge did not connect within 0.5 seconds: Server unreachable.\n"},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        test::writeFile(cli.root() / "token", "t");
        if (!c.status.empty()) cli.writeStatus(c.status);
        std::thread bridge([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (c.connectsLater) cli.writeStatus(R"("connected":true)");
        });
        const auto result = cli.run({"wait", "--timeout", c.connectsLater ? "5" : "0.5"});
        bridge.join();
        EXPECT_EQ(result.status, c.exit) << c.status;
        EXPECT_EQ(result.err, c.err);
    }
}

// Between changes `status --watch` reads on its timer: a status turning stale is printed, an unchanged reading is
// not; an interrupt ends it with 128 and the signal's number.
TEST(CommandLine, WatchReadsOnItsTimerAndPrintsOnlyWhatChanged) {
    CliHarness cli;
    cli.settings.watchInterval = std::chrono::milliseconds(100);
    test::writeFile(cli.root() / "token", "t");
    cli.writeStatus(R"("connected":true)", 24'500);  // stale half a second from now
    int interrupt[2];
    ASSERT_EQ(::pipe(interrupt), 0);
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        signalfd_siginfo info{};
        info.ssi_signo = SIGINT;
        (void)!::write(interrupt[1], &info, sizeof info);
    });
    const auto result = cli.run({"status", "--watch", "--json"}, "", interrupt[0]);
    user.join();
    ::close(interrupt[0]);
    ::close(interrupt[1]);
    EXPECT_EQ(result.status, 130);
    std::vector<std::string> states;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) states.push_back(nlohmann::json::parse(line)["state"]);
    EXPECT_EQ(states, (std::vector<std::string>{"connected", "not-running"}));
}

// Words split at spaces.
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// The bridge's control: the menu's checks and messages, what changes in the state directory, what systemctl runs.
TEST(CommandLine, BridgeControl) {
    const std::string unit = " app.tavix.link.service\n";
    struct Case {
        std::string arguments;
        std::string before;  // files in the state directory
        std::string status;  // status.json members, when there is one
        int systemctl;       // its exit status
        int exit;
        std::string says;   // how standard output (for 0) or standard error begins
        std::string after;  // which of token, paused, no-login and status.json are there afterwards
        std::string calls;  // of systemctl
    } cases[] = {
        {"pause", "token", "", 0, 0, "New tasks paused.\n", "token paused", ""},
        {"pause", "token paused", "", 0, 0, "New tasks are already paused.\n", "token paused", ""},
        {"resume", "token paused", "", 0, 0, "New tasks resumed.\n", "token", ""},
        {"resume", "token", "", 0, 0, "New tasks are not paused.\n", "token", ""},
        {"restart", "token", "", 0, 0, "The local bridge has been restarted.\n", "token", "--user restart" + unit},
        {"login off", "", "", 0, 0, "Start at login is now off.\n", "no-login", "--user disable" + unit},
        {"login on", "", "", 0, 0, "Start at login is already on.\n", "", ""},
        {"login on", "no-login", "", 1, 1, "Could not update login setting\n", "no-login", "--user enable" + unit},
        {"disconnect", "token", "", 0, 1, "Not disconnected\nStandard input is not a terminal", "token", ""},
        {"disconnect --yes", "token", R"("connected":true)", 0, 0, "This computer is disconnected", "",
         "--user stop" + unit},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        for (const auto& file : words(c.before)) test::writeFile(cli.root() / file, "");
        if (!c.status.empty()) cli.writeStatus(c.status);
        test::writeFile(cli.dir / "systemctl.status", std::to_string(c.systemctl));
        const auto result = cli.run(words(c.arguments));
        EXPECT_EQ(result.status, c.exit) << c.arguments << result.err;
        EXPECT_EQ((c.exit == 0 ? result.out : result.err).rfind(c.says, 0), 0u)
            << c.arguments << ": " << result.out << result.err;
        std::string after;
        for (const char* file : {"token", "paused", "no-login", "status.json"}) {
            if (fs::exists(cli.root() / file)) after += (after.empty() ? "" : " ") + std::string(file);
        }
        EXPECT_EQ(after, c.after) << c.arguments;
        EXPECT_EQ(cli.calls("systemctl"), c.calls) << c.arguments;
    }
}

// Pairing: the server and the code from the command line and standard input; what the pairing then does is the
// core's.
TEST(CommandLine, PairsWithTheServer) {
    test::HttpsTestServer server;
    server.route("/api/link/claim", 200, R"({"token":")" + std::string(64, 'a') + "\"}");
    const std::string asked = "Pairing code: (a line from standard input)\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        int exit;
        std::string says;  // how standard output (for 0) begins, or what standard error holds
        std::string asks;  // on standard error, even when the answer comes from a pipe
    } cases[] = {
        {{"pair", "--server=" + server.base()}, "234567\n", 0, "Mac paired\n", asked},
        {{"pair"}, server.base() + "\n 234567 \n", 0, "Mac paired\n", "Server ["},
        {{"pair"}, "", 1, "Server needed\nStandard input ended without an answer: give the server with", ""},
        {{"pair", "--server", server.base(), "--no-input"},
         "234567\n",
         1,
         "Pairing code needed\ntavix asks nothing with --no-input",
         ""},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        cli.settings.authorityFile = server.authority();
        test::writeFile(cli.root() / "config", "NODE=/n\nADB=/a\n");
        const auto result = cli.run(c.arguments, c.input);
        EXPECT_EQ(result.status, c.exit) << c.input << result.err;
        EXPECT_TRUE(c.exit == 0 ? result.out.starts_with(c.says) : result.err.find(c.says) != std::string::npos)
            << result.out << result.err;
        EXPECT_NE(result.err.find(c.asks), std::string::npos) << result.err;
        EXPECT_EQ(fs::exists(cli.root() / "token"), c.exit == 0) << c.input;
    }
}

// The phone commands: the address from the command line or standard input, the code only from standard input.
TEST(CommandLine, PhonePairAndConnect) {
    const std::string at = "10.0.0.2:37123", paired = "Successfully paired to " + at;
    struct Case {
        std::string arguments, input, adbSays;
        int exit;
        std::string says, calls;
        int adbExit = 0;
    } cases[] = {
        {"pair " + at, "013579\n", paired, 0, "Phone paired\n" + paired + "\n", "[pair][" + at + "]\n"},
        {"connect", at + "\n", "connected to " + at, 0, "Phone connected\nconnected to " + at + "\n",
         "[connect][" + at + "]\n"},
        {"pair " + at, "", "", 1, "Pairing code needed\nStandard input ended without an answer", ""},
        // Debian 12's adb 29 has no "pair" (no test of the android area has this row).
        {"pair " + at, "013579\n", "adb: unknown command pair", 1,
         "Connection failed\nPairing a phone over Wi-Fi needs adb 30 or later", "[pair][" + at + "]\n", 1},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        cli.useAdb("cat > \"$d/adb.stdin\"\nprintf '%s\\n' '" + c.adbSays + "'\nexit " + std::to_string(c.adbExit));
        const auto result = cli.run(words("phone " + c.arguments), c.input);
        EXPECT_EQ(result.status, c.exit) << c.says << result.err;
        EXPECT_TRUE(c.exit == 0 ? result.out.starts_with(c.says) : result.err.find(c.says) != std::string::npos)
            << result.out << result.err;
        EXPECT_EQ(cli.calls("adb"), c.calls);
        // The code goes to adb's standard input, never on its command line.
        EXPECT_EQ(test::readAll(cli.dir / "adb.stdin"), c.calls.starts_with("[pair]") ? "013579\n" : "");
    }
}

TEST(CommandLine, LogsAndDevices) {
    CliHarness cli;
    auto result = cli.run({"logs"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("No bridge log\nCould not read " + (cli.root() / "log").string(), 0), 0u) << result.err;
    // Into a pipe the bytes go as they are, in pieces larger than one turn of the loop copies.
    const std::string last = "\x1b[2J" + std::string(600'000, 'x') + "\nconnected\n";
    test::writeFile(cli.root() / "log", "started\n" + last);
    for (const auto& [lines, shown] : std::vector<std::pair<std::string, std::string>>{
             {"", "started\n" + last}, {"1", "connected\n"}, {"2", last}, {"9", "started\n" + last}, {"0", ""}}) {
        result =
            cli.run(lines.empty() ? std::vector<std::string>{"logs"} : std::vector<std::string>{"logs", "-n", lines});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, shown) << lines;
    }
    // Neither opened nor read when it is not a file: a FIFO without a writer would wait forever.
    fs::remove(cli.root() / "log");
    ASSERT_EQ(::mkfifo((cli.root() / "log").c_str(), 0600), 0);
    for (const char* follow : {"", "-f"}) {
        result = cli.run(*follow ? std::vector<std::string>{"logs", follow} : std::vector<std::string>{"logs"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(": not a regular file"), std::string::npos) << result.err;
    }

    test::writeFile(cli.root() / "config", "SERVER=https://example.test:8443\n");
    result = cli.run({"devices"});
    EXPECT_EQ(result.out, "https://example.test:8443/phone\n");
    test::ScopedEnv display("DISPLAY", std::nullopt), wayland("WAYLAND_DISPLAY", std::nullopt);
    result = cli.run({"devices", "--open"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "https://example.test:8443/phone\n");
    EXPECT_EQ(result.err.rfind("No desktop\n", 0), 0u);
    test::writeFile(cli.root() / "config", "SERVER=not a url\n");
    result = cli.run({"devices"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "No devices page\nThe server setting “not a url” is not an address.\n");
}

}  // namespace
}  // namespace tavix
