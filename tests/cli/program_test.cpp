#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "cli_harness.h"
#include "support/https_test_server.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::CliHarness;
using test::Program;

TEST(CommandLineProgram, LinksNoQt) {
    const std::string listing =
        test::commandOutput(std::string("LD_TRACE_LOADED_OBJECTS=1 ") + TAVIX_CLI_BINARY + " 2>&1");
    ASSERT_NE(listing.find("libutf8proc"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("libQt"), std::string::npos) << listing;
}

// Output that cannot be written is a failure, said where it still can be.
TEST(CommandLineProgram, WriteErrorsFail) {
    CliHarness cli;
    for (const char* arguments : {"status", "status --json", "--help"}) {
        EXPECT_EQ(test::commandOutput(std::string(TAVIX_CLI_BINARY) + " " + arguments + " 2>&1 >/dev/full; echo $?"),
                  "tavix: could not write to standard output: No space left on device\n1\n")
            << arguments;
    }
}

// The code as zbarimg reads it from a picture of the printed half blocks (without colour a block is a light module).
std::string readQrCode(const std::string& printed, const fs::path& picture) {
    std::vector<std::vector<bool>> dark;
    std::size_t width = 0;
    std::istringstream lines(printed);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("█", 0) != 0 && line.rfind("▀", 0) != 0) continue;
        std::vector<bool> top, bottom;
        for (std::size_t i = 0; i + 2 < line.size() + 1; i += line[i] == ' ' ? 1 : 3) {
            const std::string cell = line[i] == ' ' ? " " : line.substr(i, 3);
            top.push_back(cell != "█" && cell != "▀");
            bottom.push_back(cell != "█" && cell != "▄");
        }
        width = std::max(width, top.size());
        dark.push_back(top);
        dark.push_back(bottom);
    }
    constexpr std::size_t kScale = 4;
    std::ofstream pbm(picture);
    pbm << "P1\n" << width * kScale << ' ' << dark.size() * kScale << '\n';
    for (const auto& row : dark) {
        for (std::size_t repeat = 0; repeat < kScale; ++repeat) {
            for (std::size_t x = 0; x < width * kScale; ++x)
                pbm << (x / kScale < row.size() && row[x / kScale] ? "1 " : "0 ");
            pbm << '\n';
        }
    }
    pbm.close();
    return test::commandOutput("zbarimg -q --raw '" + picture.string() + "' 2>/dev/null");
}

// adb's mDNS listing, shared with the tray's test: 30 other phones and one named in Latin-1 all along, ours once the
// test has read the code, then its connection address.
std::string phonesOnTheNetwork() {
    return test::readAll(fs::path(TAVIX_TEST_DATA).parent_path() / "support" / "phones_adb.sh");
}

TEST(CommandLineProgram, PairsAPhoneByQrCode) {
    if (test::commandOutput("command -v zbarimg").empty()) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    CliHarness cli;
    cli.useAdb(phonesOnTheNetwork());
    test::ScopedEnv noColour("NO_COLOR", "1");
    Program tavix({"phone", "pair", "--qr"});
    ASSERT_TRUE(tavix.readUntil("Waiting for the phone")) << tavix.out;
    const std::string code = readQrCode(tavix.out, cli.dir / "code.pbm");
    const std::string prefix = "WIFI:T:ADB;S:tavix-";
    ASSERT_EQ(code.rfind(prefix, 0), 0u) << code << tavix.out;
    const auto password = code.find(";P:");
    ASSERT_NE(password, std::string::npos);
    const std::string name = code.substr(13, password - 13);
    const std::string secret = code.substr(password + 3, code.find(";;") - password - 3);
    EXPECT_EQ(name.size(), 16u);
    EXPECT_EQ(secret.size(), 12u);
    test::writeFile(cli.dir / "password", secret);
    test::writeFile(cli.dir / "name", name);

    tavix.readToEnd();
    EXPECT_EQ(tavix.wait(), 0);
    EXPECT_NE(tavix.out.find("Phone connected\r\nconnected to 10.0.0.9:40000\r\n"), std::string::npos) << tavix.out;
    const std::string calls = cli.calls("adb");
    EXPECT_NE(calls.find("[mdns][services]\n[pair][10.0.0.9:41234]\n[mdns][services]\n[connect][10.0.0.9:40000]\n"),
              std::string::npos)
        << calls;
    EXPECT_EQ(calls.find(secret), std::string::npos) << "the password is not an argument";
}

// Every way to ask for an end ends the command at once, with 128 and the signal's number as a shell tells it: at a
// question, at a hidden one (Ctrl-\ dumps no core), while waiting for a log, while watching, while adb runs (which
// goes with it, even deaf to SIGTERM).
TEST(CommandLineProgram, SignalsEndEveryCommandAndWhatItRuns) {
    struct Case {
        std::vector<std::string> arguments;
        std::string shows;
        int signal;
    } cases[] = {
        {{"pair"}, "Server [", SIGINT},
        {{"phone", "pair", "10.0.0.2:5555"}, "Pairing code: ", SIGQUIT},
        {{"logs", "-f"}, "waiting for it", SIGTERM},
        {{"wait"}, "Waiting for the bridge", SIGHUP},
        {{"phone", "pair", "--qr"}, "Waiting for the phone", SIGINT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shows);
        CliHarness cli;
        cli.useAdb(phonesOnTheNetwork());
        test::writeFile(cli.dir / "hang", "");
        Program tavix(c.arguments);
        ASSERT_TRUE(tavix.readUntil(c.shows)) << tavix.out;
        pid_t adb = -1;
        if (c.arguments.back() == "--qr") {
            for (int i = 0; i < 500 && !fs::exists(cli.dir / "adb.pid"); ++i) std::this_thread::sleep_for(10ms);
            std::this_thread::sleep_for(100ms);
            adb = std::stoi(test::readAll(cli.dir / "adb.pid"));
            ASSERT_TRUE(test::running(adb));
        }
        tavix.signal(c.signal);
        EXPECT_EQ(tavix.wait(2s), 128 + c.signal);
        EXPECT_FALSE(adb > 0 && test::running(adb));
    }
}

// A set-up script that traps SIGTERM, as many do, is ended with the command all the same, and its file goes.
TEST(CommandLineProgram, InterruptEndsTheSetUpScript) {
    test::HttpsTestServer server;
    CliHarness cli;
    server.route("/link", 200,
                 "trap 'echo stopping' TERM\necho $$ > \"$TAVIX_HOME/script.pid\"\nwhile :; do sleep 1; done");
    test::ScopedEnv authority("SSL_CERT_FILE", server.authority());
    Program tavix({"pair", "--server", server.base()});
    ASSERT_TRUE(tavix.readUntil("Pairing code: ")) << tavix.out;
    tavix.write("234567\n");
    for (int i = 0; i < 500 && test::readAll(cli.root() / "script.pid").empty(); ++i) std::this_thread::sleep_for(10ms);
    const pid_t script = std::stoi(test::readAll(cli.root() / "script.pid"));
    ASSERT_EQ(test::countEntries(cli.root(), ".setup-"), 1);
    tavix.signal(SIGINT);
    EXPECT_EQ(tavix.wait(2s), 130);
    EXPECT_FALSE(test::running(script));
    EXPECT_EQ(test::countEntries(cli.root(), ".setup-"), 0);
}

TEST(CommandLineProgram, QrCodeNeedsRoom) {
    CliHarness cli;
    cli.useAdb(phonesOnTheNetwork());
    Program tavix({"phone", "pair", "--qr"}, 40, 15);
    tavix.readToEnd();
    EXPECT_EQ(tavix.wait(), 1);
    EXPECT_NE(
        tavix.out.find("QR pairing unavailable\x1b[0m\r\nThe terminal is 40 columns by 15 rows; the QR code needs at "
                       "least 37 columns and 24 rows."),
        std::string::npos)
        << tavix.out;
}

TEST(CommandLine, QrPairingRefusals) {
    struct Case {
        std::string adb;
        std::string says;
    } cases[] = {
        // What Debian 12's adb 29 answers.
        {"echo 'adb: unknown command mdns' >&2; exit 1",
         "QR pairing unavailable\nPairing a phone over Wi-Fi needs adb 30 or later (Android SDK platform-tools)"},
        {"echo 'List of discovered mdns services'", "No phone found\nNo phone answered the QR code within 1 second."},
        {"", "ADB missing\n"},
    };
    for (const auto& c : cases) {
        CliHarness cli;
        if (!c.adb.empty()) cli.useAdb(c.adb);
        cli.settings.adjust = [adjust = cli.settings.adjust](Options& options) {
            adjust(options);
            options.qrTotal = 1;
            options.qrInterval = 0.1;
        };
        const auto result = cli.run({"phone", "pair", "--qr"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind(c.says, 0), 0u) << result.err;
        // A code is shown only when adb can look for the phone that scans it.
        EXPECT_EQ(result.out.find("█") != std::string::npos, c.says.rfind("No phone", 0) == 0) << result.out;
    }
}

// The commands that run until interrupted print what changes; on the terminal the log's bytes are shown, not obeyed.
TEST(CommandLineProgram, WatchAndFollowUntilInterrupted) {
    CliHarness cli;
    test::writeFile(cli.root() / "token", "t");
    // A character the first piece read cuts in two is shown whole.
    const std::string first = "first\x1b[2J\t\xe9\n";
    test::writeFile(cli.root() / "log", first + std::string(256 * 1024 - first.size() - 1, 'a') + "é\n");
    Program watch({"status", "--watch", "--json"});
    Program follow({"logs", "-f"});
    ASSERT_TRUE(watch.readUntil("\"state\":\"not-running\""));
    ASSERT_TRUE(follow.readUntil("aé\r\n")) << follow.out.substr(0, 100);
    EXPECT_TRUE(follow.out.starts_with("first\\x1b[2J\t\\xe9\r\n")) << follow.out.substr(0, 100);
    cli.writeStatus(R"("connected":true)");
    std::ofstream(cli.root() / "log", std::ios::app) << "second\n";
    EXPECT_TRUE(watch.readUntil("\"state\":\"connected\"", 2s)) << watch.out;
    EXPECT_TRUE(follow.readUntil("second\r\n", 2s)) << follow.out;
    // A rotated log is read anew from its start, and so is one cut short in place.
    test::writeFile(cli.root() / "log.new", "third\n");
    fs::rename(cli.root() / "log.new", cli.root() / "log");
    EXPECT_TRUE(follow.readUntil("second\r\nthird\r\n", 2s)) << follow.out;
    std::ofstream(cli.root() / "log", std::ios::trunc) << "4\n";
    EXPECT_TRUE(follow.readUntil("third\r\n4\r\n", 2s)) << follow.out;
    watch.signal(SIGINT);
    follow.signal(SIGTERM);
    EXPECT_EQ(watch.wait(2s), 130);
    EXPECT_EQ(follow.wait(2s), 143);
}

// On a terminal: the pairing code is not echoed, and colour follows NO_COLOR.
TEST(CommandLineProgram, TerminalPromptsAndColour) {
    for (const bool noColour : {false, true}) {
        CliHarness cli;
        cli.useAdb("cat > \"$d/adb.stdin\"; echo 'Successfully paired to 10.0.0.2:37123'");
        test::ScopedEnv colour("NO_COLOR", noColour ? "1" : "");
        Program tavix({"phone", "pair", "10.0.0.2:37123"});
        ASSERT_TRUE(tavix.readUntil("Pairing code: ")) << tavix.out;
        EXPECT_NE(tavix.out.find("Pair Android"), std::string::npos) << tavix.out;
        tavix.write("246810\n");
        tavix.readToEnd();
        EXPECT_EQ(tavix.wait(), 0);
        EXPECT_EQ(tavix.out.find("246810"), std::string::npos) << "echoed: " << tavix.out;
        EXPECT_EQ(test::readAll(cli.dir / "adb.stdin"), "246810\n");
        EXPECT_EQ(tavix.out.find("\x1b[1;32mPhone paired\x1b[0m") != std::string::npos, !noColour) << tavix.out;
        EXPECT_EQ(tavix.out.find("\x1b[") != std::string::npos, !noColour) << tavix.out;
    }
    // Each stream by its own terminal: standard error here, while standard output goes elsewhere; never for a dumb
    // terminal or with --no-color.
    for (const auto& [term, flag, colour] : std::vector<std::tuple<const char*, const char*, bool>>{
             {"xterm", "", true}, {"dumb", "", false}, {"xterm", "--no-color", false}}) {
        CliHarness cli;
        test::ScopedEnv terminal("TERM", term), colourAllowed("NO_COLOR", std::nullopt);
        Program tavix(*flag ? std::vector<std::string>{"pause", flag} : std::vector<std::string>{"pause"}, 0, 0, true);
        tavix.readToEnd();
        EXPECT_EQ(tavix.wait(), 1);
        EXPECT_TRUE(tavix.out.starts_with(colour ? "\x1b[1;31mNot paired\x1b[0m\r\n" : "Not paired\r\n"))
            << term << flag << tavix.out;
    }
}

}  // namespace
}  // namespace tavix
