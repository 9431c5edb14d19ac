#include <gtest/gtest.h>

#include "support/test_app.h"

namespace tavix {
namespace {

using test::TestApp;

constexpr const char* kHint =
    "\nIf the phone does not appear, choose Connect Android and use the main Wireless debugging port.";

// A stand-in for adb that records its arguments and standard input, then says what the test tells it to.
struct FakeAdb {
    explicit FakeAdb(TestApp& app, const std::string& output = "", int status = 0, const std::string& extra = "")
        : path(app.dir / "adb"), args(app.dir / "adb.args"), input(app.dir / "adb.stdin") {
        test::writeScript(path, extra + "printf '%s\\n' \"$@\" > '" + args.string() + "'\ncat > '" + input.string() +
                                    "'\nprintf '%s' '" + output + "'\nexit " + std::to_string(status));
        test::writeFile(app.root() / "config", "SERVER=https://tavix.app\nNODE=/usr/bin/node\nADB=" + path.string() + "\n");
    }
    std::filesystem::path path, args, input;
};

bool finished(TestApp& app) {
    return app.mainQueue.runUntil([&] { return !app.menu->operation && !app.dialogs.alerts.empty(); });
}

TEST(Wireless, PairingSendsTheCodeOnStandardInputOnly) {
    TestApp app;
    FakeAdb adb(app, "Successfully paired to 192.168.1.20:37123 [guid=adb-x]\n");
    app.dialogs.formAnswers.push_back(std::vector<std::string>{"192.168.1.20:37123", "013579"});
    app.menu->perform(Command::pairPhone);
    EXPECT_TRUE(app.menu->operation);
    ASSERT_TRUE(finished(app));

    ASSERT_EQ(app.dialogs.forms.size(), 1u);
    const auto& form = app.dialogs.forms[0];
    EXPECT_EQ(form.title, "Pair Android");
    EXPECT_EQ(form.button, "Pair");
    ASSERT_EQ(form.fields.size(), 2u);
    EXPECT_EQ(form.fields[0].label, "IP address:port");
    EXPECT_FALSE(form.fields[0].secure);
    EXPECT_EQ(form.fields[1].label, "Pairing code");
    EXPECT_TRUE(form.fields[1].secure);

    EXPECT_EQ(test::readAll(adb.args), "pair\n192.168.1.20:37123\n");
    EXPECT_EQ(test::readAll(adb.input), "013579\n");
    EXPECT_EQ(app.dialogs.alerts.back(),
              (test::Message{"Phone paired", "Successfully paired to 192.168.1.20:37123 [guid=adb-x]\n" +
                                                 std::string(kHint)}));
}

TEST(Wireless, ConnectingAsksForTheAddressAloneAndSendsNoInput) {
    TestApp app;
    FakeAdb adb(app, "connected to 192.168.1.20:5555");
    app.dialogs.formAnswers.push_back(std::vector<std::string>{"192.168.1.20:5555"});
    app.menu->perform(Command::connectPhone);
    ASSERT_TRUE(finished(app));
    EXPECT_EQ(app.dialogs.forms[0].title, "Connect Android");
    EXPECT_EQ(app.dialogs.forms[0].button, "Connect");
    EXPECT_EQ(app.dialogs.forms[0].fields.size(), 1u);
    EXPECT_EQ(test::readAll(adb.args), "connect\n192.168.1.20:5555\n");
    EXPECT_EQ(test::readAll(adb.input), "");
    EXPECT_EQ(app.dialogs.alerts.back(), (test::Message{"Phone connected", "connected to 192.168.1.20:5555"}));
}

TEST(Wireless, OutcomesOfTheRun) {
    struct Case {
        bool pair;
        std::string output;
        int status;
        const char* title;
    } cases[] = {
        {false, "Connected to phone", 0, "Phone connected"},
        {true, "already connected to 10.0.0.2:5555", 0, "Phone paired"},
        {false, "failed to connect to 10.0.0.2:5555", 0, "Connection failed"},
        {false, "connected to 10.0.0.2:5555", 1, "Connection failed"},
    };
    for (const auto& c : cases) {
        TestApp app;
        FakeAdb adb(app, c.output, c.status);
        app.dialogs.formAnswers.push_back(c.pair ? std::vector<std::string>{"10.0.0.2:5555", "123456"}
                                                 : std::vector<std::string>{"10.0.0.2:5555"});
        app.menu->wireless(c.pair);
        ASSERT_TRUE(finished(app)) << c.output;
        EXPECT_EQ(app.dialogs.alerts.back().title, c.title) << c.output;
        if (std::string(c.title) == "Connection failed") {
            EXPECT_EQ(app.dialogs.alerts.back().text, c.output);
        }
    }
}

TEST(Wireless, RefusalsBeforeAnythingRuns) {
    struct Case {
        bool pair;
        std::vector<std::string> answers;
        std::optional<std::string> config;
        test::Message alert;
    } cases[] = {
        {true, {"192.168.1.20", "123456"}, "ADB=/x\n", {"Check phone details", "Enter the phone address with a valid port and, for pairing, the 6-digit code."}},
        {true, {"192.168.1.20:5555", "12345"}, "ADB=/x\n", {"Check phone details", "Enter the phone address with a valid port and, for pairing, the 6-digit code."}},
        {false, {"192.168.1.20:5555"}, "NODE=/n\nADB=\n", {"ADB missing", "Run the Devices installer to install Android platform tools."}},
    };
    for (const auto& c : cases) {
        TestApp app;
        if (c.config) test::writeFile(app.root() / "config", *c.config);
        app.dialogs.formAnswers.push_back(c.answers);
        app.menu->wireless(c.pair);
        EXPECT_FALSE(app.menu->operation);
        ASSERT_EQ(app.dialogs.alerts.size(), 1u) << c.answers[0];
        EXPECT_EQ(app.dialogs.alerts[0], c.alert) << c.answers[0];
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

TEST(Wireless, AnAdbThatCannotStartOrHangs) {
    {
        TestApp app;
        test::writeFile(app.root() / "config", "ADB=" + (app.dir / "no-such-adb").string() + "\n");
        app.dialogs.formAnswers.push_back(std::vector<std::string>{"10.0.0.2:5555"});
        app.menu->connectPhone();
        ASSERT_TRUE(finished(app));
        EXPECT_EQ(app.dialogs.alerts.back().title, "Connection failed");
        EXPECT_FALSE(app.dialogs.alerts.back().text.empty());
    }
    {
        TestApp app;
        app.options.adbTimeout = 0.5;
        app.menu = std::make_unique<TavixMenu>(app.menu->ports(), app.options);
        FakeAdb adb(app, "", 0, "printf 'waiting for phone\\n'\nexec sleep 30\n");
        app.dialogs.formAnswers.push_back(std::vector<std::string>{"10.0.0.2:5555"});
        app.menu->connectPhone();
        ASSERT_TRUE(finished(app));
        EXPECT_EQ(app.dialogs.alerts.back(), (test::Message{"Connection failed", "waiting for phone\n"}));
    }
}

}  // namespace
}  // namespace tavix
