#include <gtest/gtest.h>

#include "support/test_app.h"

namespace tavix {
namespace {

using test::TestApp;

constexpr const char* kHint =
    "\nIf the phone does not appear, choose Connect Android and use the main Wireless debugging port.";
constexpr const char* kCheckDetails = "Enter the phone address with a valid port and, for pairing, the 6-digit code.";

// A stand-in for adb that records its arguments and standard input, then prints `output` and exits with `status`.
struct FakeAdb {
    FakeAdb(TestApp& app, const std::string& output, int status, const std::string& before = "")
        : path(app.dir / "adb"), args(app.dir / "adb.args"), input(app.dir / "adb.stdin") {
        test::writeScript(path, before + "printf '%s\\n' \"$@\" > '" + args.string() + "'\ncat > '" + input.string() +
                                    "'\nprintf '%s' '" + output + "'\nexit " + std::to_string(status));
        test::writeFile(app.root() / "config", "NODE=/usr/bin/node\nADB=" + path.string() + "\n");
    }
    std::filesystem::path path, args, input;
};

bool finished(TestApp& app) {
    return app.mainQueue.runUntil([&] { return !app.menu->operation && !app.dialogs.alerts.empty(); });
}

// The code goes on standard input only; success needs status 0 and either phrase, in any letter case.
TEST(Wireless, RunsAdbAndJudgesWhatItSays) {
    struct Case {
        bool pair;
        std::string output;
        int status;
        std::string args, input;
        test::Message alert;
    } cases[] = {
        {true,
         "Successfully paired to 10.0.0.2:37123\n",
         0,
         "pair\n10.0.0.2:37123\n",
         "013579\n",
         {"Phone paired", std::string("Successfully paired to 10.0.0.2:37123\n") + kHint}},
        {true,
         "already connected to 10.0.0.2:37123",
         0,
         "pair\n10.0.0.2:37123\n",
         "013579\n",
         {"Phone paired", std::string("already connected to 10.0.0.2:37123") + kHint}},
        {false, "Connected to phone", 0, "connect\n10.0.0.2:37123\n", "", {"Phone connected", "Connected to phone"}},
        {false,
         "failed to connect to 10.0.0.2",
         0,
         "connect\n10.0.0.2:37123\n",
         "",
         {"Connection failed", "failed to connect to 10.0.0.2"}},
        {false,
         "connected to 10.0.0.2",
         1,
         "connect\n10.0.0.2:37123\n",
         "",
         {"Connection failed", "connected to 10.0.0.2"}},
        // Silent: the alert says which command ended how.
        {false,
         "",
         1,
         "connect\n10.0.0.2:37123\n",
         "",
         {"Connection failed", "“adb connect 10.0.0.2:37123” failed with status 1 and printed nothing."}},
    };
    for (const auto& c : cases) {
        TestApp app;
        FakeAdb adb(app, c.output, c.status);
        app.dialogs.formAnswers.push_back(c.pair ? std::vector<std::string>{"10.0.0.2:37123", "013579"}
                                                 : std::vector<std::string>{"10.0.0.2:37123"});
        app.menu->perform(c.pair ? Command::pairPhone : Command::connectPhone);
        EXPECT_TRUE(app.menu->operation);
        ASSERT_TRUE(finished(app)) << c.output;
        EXPECT_EQ(test::readAll(adb.args), c.args) << c.output;
        EXPECT_EQ(test::readAll(adb.input), c.input) << c.output;
        EXPECT_EQ(app.dialogs.alerts, std::vector<test::Message>{c.alert}) << c.output;

        const auto& form = app.dialogs.forms.at(0);
        EXPECT_EQ(form.title, c.pair ? "Pair Android" : "Connect Android");
        EXPECT_EQ(form.button, c.pair ? "Pair" : "Connect");
        ASSERT_EQ(form.fields.size(), c.pair ? 2u : 1u);
        EXPECT_EQ(form.fields[0].label, "IP address:port");
        EXPECT_FALSE(form.fields[0].secure);
        if (c.pair) {
            EXPECT_EQ(form.fields[1].label, "Pairing code");
            EXPECT_TRUE(form.fields[1].secure);
        }
    }
}

TEST(Wireless, RefusalsBeforeAnythingRuns) {
    struct Case {
        bool pair;
        std::vector<std::string> answers;
        std::string config;
        test::Message alert;
    } cases[] = {
        {true, {"192.168.1.20", "123456"}, "ADB=/x\n", {"Check phone details", kCheckDetails}},
        {true, {"192.168.1.20:5555", "12345"}, "ADB=/x\n", {"Check phone details", kCheckDetails}},
        {false,
         {"192.168.1.20:5555"},
         "NODE=/n\nADB=\n",
         {"ADB missing", "Run the Devices installer to install Android platform tools."}},
    };
    for (const auto& c : cases) {
        TestApp app;
        test::writeFile(app.root() / "config", c.config);
        app.dialogs.formAnswers.push_back(c.answers);
        app.menu->wireless(c.pair);
        EXPECT_FALSE(app.menu->operation);
        EXPECT_EQ(app.dialogs.alerts, std::vector<test::Message>{c.alert}) << c.answers[0];
        EXPECT_EQ(app.mainQueue.drain(), 0);
    }
}

TEST(Wireless, SilentWhileBusyOrCancelled) {
    TestApp app;
    app.menu->operation = true;
    app.menu->perform(Command::pairPhone);
    EXPECT_TRUE(app.dialogs.forms.empty());
    app.menu->operation = false;
    app.menu->perform(Command::connectPhone);  // no scripted answer: cancelled
    EXPECT_EQ(app.dialogs.forms.size(), 1u);
    EXPECT_TRUE(app.dialogs.alerts.empty());
}

TEST(Wireless, AnAdbThatHangsIsEndedAtTheLimit) {
    TestApp app([](Options& options) { options.adbTimeout = 0.5; });
    FakeAdb adb(app, "", 0, "printf 'waiting for phone\\n'\nexec sleep 30\n");
    app.dialogs.formAnswers.push_back(std::vector<std::string>{"10.0.0.2:5555"});
    app.menu->connectPhone();
    ASSERT_TRUE(finished(app));
    EXPECT_EQ(app.dialogs.alerts, (std::vector<test::Message>{{"Connection failed", "waiting for phone\n"}}));
}

}  // namespace
}  // namespace tavix
