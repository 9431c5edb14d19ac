#include "pairing/pair_account.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "pairing/bootstrap_bridge.h"
#include "pairing/claim.h"
#include "pairing/pairing_fixture.h"
#include "state/config.h"

namespace tavix::test {
namespace {

const std::string kToken = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kCode = "234567";
const std::string kInstalledConfig = "SERVER=https://old.example\nNODE=/usr/bin/node\nADB=/opt/platform-tools/adb\n";

Message message(const Refusal& refusal) {
    return {std::string(refusal.title), std::string(refusal.text)};
}

std::string tokenReply(const std::string& token) {
    return R"({"token":")" + token + R"("})";
}

class PairAccountTest : public PairingFixture {
  protected:
    void SetUp() override { start(); }

    void answer(const std::string& serverText, const std::string& code) {
        app->dialogs.formAnswers.push_back(std::vector<std::string>{serverText, code});
    }

    // Answers the form, runs the command and waits for its message.
    Message pair(const std::string& serverText, const std::string& code) {
        app->dialogs.alerts.clear();
        answer(serverText, code);
        app->menu->pairAccount();
        settle();
        EXPECT_EQ(alerts().size(), 1u);
        return alerts().empty() ? Message{} : alerts().back();
    }

    std::vector<RecordedRequest> claims() const {
        std::vector<RecordedRequest> found;
        for (auto& request : server.requests()) {
            if (request.path == "/api/link/claim") found.push_back(request);
        }
        return found;
    }
};

TEST_F(PairAccountTest, AValidClaimSavesTheAccountAndRestartsTheBridge) {
    writeFile(app->root() / "config", kInstalledConfig + "EXTRA=dropped\n", 0644);
    writeFile(app->root() / "token", "old", 0644);
    writeFile(app->root() / "paused", "");
    server.route("/api/link/claim", Route::text(200, R"({"ok":true,"token":")" + kToken + R"("})"));

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    answer(server.base() + "/", kCode);
    app->menu->pairAccount();
    EXPECT_TRUE(app->menu->operation);  // while the request runs
    settle();
    const std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();

    EXPECT_EQ(alerts(), std::vector<Message>{message(kMacPaired)});
    // One claim, to the base without its "/" and without a doubled one.
    const auto sent = claims();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].header("Content-Type"), std::vector<std::string>{"application/json"});
    EXPECT_TRUE(sent[0].header("Authorization").empty());
    EXPECT_EQ(sent[0].body, *claimBody(kCode, claimLabel()));
    EXPECT_EQ(nlohmann::json::parse(sent[0].body), (nlohmann::json{{"code", kCode}, {"label", claimLabel()}}));

    EXPECT_EQ(readAll(app->root() / "config"),
              "SERVER=" + server.base() + "\nNODE=/usr/bin/node\nADB=/opt/platform-tools/adb\n");
    EXPECT_EQ(readAll(app->root() / "token"), kToken);
    EXPECT_EQ(modeOf(app->root() / "config"), 0600u);
    EXPECT_EQ(modeOf(app->root() / "token"), 0600u);
    EXPECT_FALSE(std::filesystem::exists(app->root() / "paused"));
    EXPECT_EQ(countEntries(app->root(), ".menu-"), 0);

    const auto restarts = runsOf("launchctl");
    ASSERT_FALSE(restarts.empty());
    EXPECT_EQ(restarts[0],
              (std::vector<std::string>{"kickstart", "-k", "gui/" + std::to_string(::getuid()) + "/app.tavix.link"}));
    for (const auto& run : restarts) {
        for (const auto& argument : run) {
            EXPECT_EQ(argument.find(kCode), std::string::npos);
            EXPECT_EQ(argument.find(kToken), std::string::npos);
        }
    }
    EXPECT_EQ(printed.find(kCode), std::string::npos);
    EXPECT_EQ(printed.find(kToken), std::string::npos);
}

TEST_F(PairAccountTest, ARefusedReplyChangesNothing) {
    writeFile(app->root() / "config", kInstalledConfig, 0644);
    writeFile(app->root() / "paused", "");
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
    const std::pair<std::string, Route> cases[] = {
        {"404", Route::text(404, "No such code")},
        {"500", Route::text(500, tokenReply(kToken))},
        {"an array", Route::text(200, "[" + tokenReply(kToken) + "]")},
        {"the empty object", Route::text(200, "{}")},
        {"an upper-case token", Route::text(200, tokenReply(upper))},
        {"63 digits", Route::text(200, tokenReply(kToken.substr(1)))},
        {"a number", Route::text(200, R"({"token":1234})")},
    };
    for (const auto& [name, reply] : cases) {
        SCOPED_TRACE(name);
        server.route("/api/link/claim", reply);
        EXPECT_EQ(pair(server.base(), kCode), (Message{"Pairing failed", std::string(kCodeExpired)}));
        EXPECT_EQ(readAll(app->root() / "config"), kInstalledConfig);
        EXPECT_EQ(modeOf(app->root() / "config"), 0644u);
        EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));
        EXPECT_TRUE(std::filesystem::exists(app->root() / "paused"));
    }
    EXPECT_EQ(claims().size(), std::size(cases));
    EXPECT_TRUE(runsOf("launchctl").empty());
}

TEST_F(PairAccountTest, ATransportFailureShowsTheTransportsText) {
    writeFile(app->root() / "config", kInstalledConfig, 0644);

    const auto refused = pair("https://127.0.0.1:" + std::to_string(unusedPort()), kCode);
    EXPECT_EQ(refused.title, "Pairing failed");
    EXPECT_NE(refused.text, kCodeExpired);
    EXPECT_NE(refused.text.find("connect"), std::string::npos) << refused.text;

    TestAuthority stranger;
    HttpsTestServer impostor(stranger);
    impostor.route("/api/link/claim", Route::text(200, tokenReply(kToken)));
    const auto untrusted = pair(impostor.base(), kCode);
    EXPECT_EQ(untrusted.title, "Pairing failed");
    EXPECT_NE(untrusted.text.find("certificate"), std::string::npos) << untrusted.text;
    EXPECT_TRUE(impostor.requests().empty());

    EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));
    EXPECT_EQ(readAll(app->root() / "config"), kInstalledConfig);
}

TEST_F(PairAccountTest, AConfigChangedWhileTheRequestRanIsLeftAlone) {
    writeFile(app->root() / "config", kInstalledConfig);
    server.route("/api/link/claim", Route::text(200, tokenReply(kToken)));
    answer(server.base(), kCode);
    app->menu->pairAccount();
    // The reply is judged on the main queue, which has not run yet.
    writeFile(app->root() / "config", "SERVER=https://other.example\nNODE=/usr/bin/node\n");
    settle();
    EXPECT_EQ(alerts(), std::vector<Message>{message(kInstallerFirst)});
    EXPECT_EQ(readAll(app->root() / "config"), "SERVER=https://other.example\nNODE=/usr/bin/node\n");
    EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));
    EXPECT_TRUE(runsOf("launchctl").empty());
}

TEST_F(PairAccountTest, ATokenThatCannotBeSavedIsReported) {
    writeFile(app->root() / "config", kInstalledConfig);
    // A directory with something in it cannot be replaced by a file.
    writeFile(app->root() / "token" / "keep", "x");
    server.route("/api/link/claim", Route::text(200, tokenReply(kToken)));
    const auto shown = pair(server.base(), kCode);
    EXPECT_EQ(shown.title, "Could not save pairing");
    EXPECT_FALSE(shown.text.empty());
    // The config written just before stays.
    EXPECT_EQ(readAll(app->root() / "config"),
              "SERVER=" + server.base() + "\nNODE=/usr/bin/node\nADB=/opt/platform-tools/adb\n");
    EXPECT_EQ(readAll(app->root() / "token" / "keep"), "x");
    EXPECT_EQ(countEntries(app->root(), ".menu-"), 0);
    EXPECT_TRUE(runsOf("launchctl").empty());
}

TEST_F(PairAccountTest, TheBranchFollowsWhatIsInstalled) {
    server.route("/link", Route::text(404, "missing"));
    server.route("/api/link/claim", Route::text(404, "missing"));

    // A bridge without "ADB" and no token: the set-up is downloaded, nothing is claimed.
    writeFile(app->root() / "config", "NODE=/usr/bin/node\n");
    EXPECT_EQ(pair(server.base(), kCode), (Message{std::string(kDownloadFailed), std::string(kRetryPairing)}));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].path, "/link");

    // Half installed: a token but no bridge. Nothing is sent.
    writeFile(app->root() / "config", "SERVER=https://old.example\n");
    writeFile(app->root() / "token", kToken);
    EXPECT_EQ(pair(server.base(), kCode), message(kHalfInstalled));
    EXPECT_EQ(server.requests().size(), 1u);

    // Both keys present, even empty: the claim is sent.
    writeFile(app->root() / "config", "NODE=\nADB=\n");
    EXPECT_EQ(pair(server.base(), kCode), (Message{"Pairing failed", std::string(kCodeExpired)}));
    EXPECT_EQ(claims().size(), 1u);
}

TEST_F(PairAccountTest, RefusesWhileSomethingIsRunning) {
    app->menu->operation = true;
    app->menu->pairAccount();
    app->menu->operation = false;

    app->writeStatus({{"busy", "Opening the camera"}});
    app->menu->readStatus();
    app->menu->pairAccount();

    EXPECT_EQ(alerts(), (std::vector<Message>{message(kTaskInProgress), message(kTaskInProgress)}));
    EXPECT_TRUE(app->dialogs.forms.empty());
}

TEST_F(PairAccountTest, AsksForTheServerAndTheCode) {
    app->menu->pairAccount();  // cancelled: no message, no request
    writeFile(app->root() / "config", "SERVER=https://saved.example/\n");
    app->menu->perform(Command::pairAccount);
    app->mainQueue.drain();

    ASSERT_EQ(app->dialogs.forms.size(), 2u);
    const auto& form = app->dialogs.forms[0];
    EXPECT_EQ(form.title, "Pair this Mac");
    EXPECT_EQ(form.text,
              "Create a fresh 6-digit code in Devices → Link a computer. First pairing installs the background "
              "bridge from your chosen HTTPS server.");
    EXPECT_EQ(form.button, "Pair");
    ASSERT_EQ(form.fields.size(), 2u);
    EXPECT_EQ(form.fields[0].label, "Server");
    EXPECT_EQ(form.fields[0].value, kDefaultServer);
    EXPECT_FALSE(form.fields[0].secure);
    EXPECT_EQ(form.fields[1].label, "Pairing code");
    EXPECT_EQ(form.fields[1].value, "");
    EXPECT_FALSE(form.fields[1].secure);
    EXPECT_EQ(app->dialogs.forms[1].fields[0].value, "https://saved.example/");

    EXPECT_TRUE(alerts().empty());
    EXPECT_FALSE(app->menu->operation);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(PairAccountTest, BadDetailsAreRefusedBeforeAnythingIsSent) {
    writeFile(app->root() / "config", kInstalledConfig);
    const std::tuple<std::string, std::string, Refusal> cases[] = {
        {server.base() + "/api", kCode, kInvalidServer},
        {server.base() + "//", kCode, kInvalidServer},
        {server.base() + "/api", "234561", kCheckPairingDetails},
        {"http://127.0.0.1:" + std::to_string(server.port()), kCode, kCheckPairingDetails},
        {server.base() + "?", kCode, kCheckPairingDetails},
        {server.base(), "23456", kCheckPairingDetails},
    };
    for (const auto& [serverText, code, refusal] : cases) {
        SCOPED_TRACE(serverText + " " + code);
        app->dialogs.alerts.clear();
        answer(serverText, code);
        app->menu->pairAccount();
        EXPECT_EQ(alerts(), std::vector<Message>{message(refusal)});
        EXPECT_FALSE(app->menu->operation);
    }
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace tavix::test
