#include <gtest/gtest.h>

#include "support/test_app.h"

namespace tavix {
namespace {

using test::TestApp;

constexpr const char* kHint =
    "\nIf the phone does not appear, choose Connect Android and use the main Wireless debugging port.";
constexpr const char* kCheckDetails = "Enter the phone address with a valid port and, for pairing, the 6-digit code.";

// adb recording its standard input too, then printing `output` and exiting with `status`.
void fakeAdb(TestApp& app, const std::string& output, int status, const std::string& before = "") {
    test::useFakeAdb(app.dir.path(), app.root(),
                     before + "cat > \"$d/adb.stdin\"\nprintf '%s' '" + output + "'\nexit " + std::to_string(status));
}

bool finished(TestApp& app) {
    return app.mainQueue.runUntil([&] { return !app.menu->operation() && !app.dialogs.alerts.empty(); });
}

// The code goes on standard input only; the verdict is adbSucceeded's, and a hanging adb ends at its time limit.
TEST(Wireless, RunsAdbAndJudgesWhatItSays) {
    const std::string paired = "Successfully paired to 10.0.0.2:37123\n";
    struct Case {
        bool pair;
        std::string output;
        int status;
        test::Message alert;
        std::string before = "";  // what adb does first
    } cases[] = {
        {true, paired, 0, {"Phone paired", paired + kHint}},
        {false, "failed to connect to 10.0.0.2", 0, {"Connection failed", "failed to connect to 10.0.0.2"}},
        // Silent: the alert says which command ended how.
        {false, "", 1, {"Connection failed", "“adb connect 10.0.0.2:37123” failed with status 1 and printed nothing."}},
        {false, "", 0, {"Connection failed", "waiting for phone\n"}, "printf 'waiting for phone\\n'\nexec sleep 30\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alert.text);
        TestApp app([&](Options& options) {
            if (!c.before.empty()) options.adbTimeout = 0.5;
        });
        fakeAdb(app, c.output, c.status, c.before);
        app.dialogs.formAnswers.push_back(c.pair ? std::vector<std::string>{"10.0.0.2:37123", "013579"}
                                                 : std::vector<std::string>{"10.0.0.2:37123"});
        app.menu->perform(c.pair ? Command::pairPhone : Command::connectPhone);
        EXPECT_TRUE(app.menu->operation());
        ASSERT_TRUE(finished(app));
        EXPECT_EQ(test::readAll(app.dir / "adb.calls"),
                  (c.pair ? "[pair]" : "[connect]") + std::string("[10.0.0.2:37123]\n"));
        EXPECT_EQ(test::readAll(app.dir / "adb.stdin"), c.before.empty() && c.pair ? "013579\n" : "");
        EXPECT_EQ(app.dialogs.alerts, std::vector<test::Message>{c.alert});

        const auto& form = app.dialogs.forms.at(0);
        EXPECT_EQ(form.title + "|" + form.button, c.pair ? "Pair Android|Pair" : "Connect Android|Connect");
        std::string fields;  // a secure field marked "*"
        for (const auto& field : form.fields) fields += field.label + (field.secure ? "*|" : "|");
        EXPECT_EQ(fields, c.pair ? "IP address:port|Pairing code*|" : "IP address:port|");
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
        EXPECT_FALSE(app.menu->operation());
        EXPECT_EQ(app.dialogs.alerts, std::vector<test::Message>{c.alert}) << c.answers[0];
        EXPECT_EQ(app.mainQueue.drain(), 0);
    }
}

TEST(Wireless, SilentWhileBusyOrCancelled) {
    TestApp app;
    app.holdOperation();
    app.menu->perform(Command::pairPhone);
    EXPECT_TRUE(app.dialogs.forms.empty());
    ASSERT_TRUE(app.releaseOperation());
    app.menu->perform(Command::connectPhone);  // no scripted answer: cancelled
    EXPECT_EQ(app.dialogs.forms.size(), 1u);
    EXPECT_TRUE(app.dialogs.alerts.empty());
}

}  // namespace
}  // namespace tavix
