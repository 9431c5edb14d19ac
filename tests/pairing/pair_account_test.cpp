#include <gtest/gtest.h>
#include <unistd.h>

#include "pairing/account_pairing.h"
#include "pairing/claim.h"
#include "pairing/pairing_fixture.h"

namespace tavix::test {
namespace {

const std::string kToken = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kCode = "234567";
const std::string kInstalled = "SERVER=https://old.example\nNODE=/usr/bin/node\nADB=/opt/platform-tools/adb\n";
const std::string kInstallsToken = "printf x > \"$TAVIX_HOME/token\"\n";

std::string tokenReply(const std::string& token) {
    return R"({"token":")" + token + R"("})";
}

class PairAccountTest : public PairingFixture {
  protected:
    void SetUp() override { start(); }

    Message pair(const std::string& serverText, const std::string& code = kCode) {
        app->dialogs.formAnswers.push_back(std::vector<std::string>{serverText, code});
        return outcome([&] { app->menu->pairAccount(); });
    }
};

TEST_F(PairAccountTest, AValidClaimSavesTheAccountAndRestartsTheBridge) {
    writeFile(app->root() / "config", kInstalled + "EXTRA=dropped\n", 0644);
    writeFile(app->root() / "token", "old", 0644);
    writeFile(app->root() / "paused", "");
    server.route("/api/link/claim", 200, R"({"ok":true,"token":")" + kToken + R"("})");

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(pair(server.base() + "/"), message(kMacPaired));
    const std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();

    // One claim, to the base without its "/".
    ASSERT_EQ(server.requests().size(), 1u);
    const auto sent = server.requests()[0];
    EXPECT_EQ(sent["path"], "/api/link/claim");
    EXPECT_EQ(sent["method"], "POST");
    EXPECT_EQ(sent["headers"]["content-type"], nlohmann::json{"application/json"});
    EXPECT_FALSE(sent["headers"].contains("authorization"));
    EXPECT_EQ(sent["body"], R"({"code":"234567","label":"Ada's laptop"})");

    EXPECT_EQ(readAll(app->root() / "config"),
              "SERVER=" + server.base() + "\nNODE=/usr/bin/node\nADB=/opt/platform-tools/adb\n");
    EXPECT_EQ(readAll(app->root() / "token"), kToken);
    EXPECT_EQ(modeOf(app->root() / "config"), 0600u);
    EXPECT_EQ(modeOf(app->root() / "token"), 0600u);
    EXPECT_FALSE(std::filesystem::exists(app->root() / "paused"));

    // Restarted by launchctl, which is never handed the code or the token.
    EXPECT_EQ(argsOf("launchctl"), "[kickstart][-k][gui/" + std::to_string(::getuid()) + "/app.tavix.link]\n");
    EXPECT_EQ(printed.find(kCode), std::string::npos);
    EXPECT_EQ(printed.find(kToken), std::string::npos);
}

TEST_F(PairAccountTest, AFailedClaimChangesNothing) {
    writeFile(app->root() / "config", kInstalled, 0644);
    writeFile(app->root() / "paused", "");
    HttpsTestServer impostor;  // its certificate is not one the application trusts
    struct Case {
        std::string name;
        int status;
        std::string body;
        std::string base{};  // the test server's when empty
        std::string text = std::string(kCodeExpired);
    };
    // Each way a reply can fail the judge is in ClaimReply below; here the ways it reaches the user.
    const Case cases[] = {
        {"404", 404, "No such code"},
        {"no valid token", 200, tokenReply(kToken.substr(1))},
        {"valid, but past the size limit", 200, tokenReply(kToken) + std::string(kMaxClaimReplyBytes, ' ')},
        {"refused connection", 200, "", "https://127.0.0.1:" + std::to_string(deadPort()), "connect"},
        {"untrusted certificate", 200, "", impostor.base(), "certificate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.route("/api/link/claim", c.status, c.body);
        const auto shown = pair(c.base.empty() ? server.base() : c.base);
        EXPECT_EQ(shown.title, "Pairing failed");
        EXPECT_NE(shown.text.find(c.text), std::string::npos) << shown.text;
        EXPECT_EQ(readAll(app->root() / "config"), kInstalled);
        EXPECT_EQ(modeOf(app->root() / "config"), 0644u);
        EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));
        EXPECT_TRUE(std::filesystem::exists(app->root() / "paused"));
    }
    EXPECT_EQ(server.requests().size(), std::size(cases) - 2);
    EXPECT_TRUE(impostor.requests().empty());
    EXPECT_TRUE(argsOf("launchctl").empty());
}

TEST_F(PairAccountTest, AConfigChangedWhileTheRequestRanIsLeftAlone) {
    writeFile(app->root() / "config", kInstalled);
    server.route("/api/link/claim", 200, tokenReply(kToken));
    app->dialogs.formAnswers.push_back(std::vector<std::string>{server.base(), kCode});
    const auto shown = outcome([&] {
        app->menu->pairAccount();
        EXPECT_TRUE(app->menu->operation());
        // The reply is judged on the main queue, which has not run yet.
        writeFile(app->root() / "config", "SERVER=https://other.example\nNODE=/usr/bin/node\n");
    });
    EXPECT_EQ(shown, message(kInstallerFirst));
    EXPECT_EQ(readAll(app->root() / "config"), "SERVER=https://other.example\nNODE=/usr/bin/node\n");
    EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));
    EXPECT_TRUE(argsOf("launchctl").empty());
}

TEST_F(PairAccountTest, ATokenThatCannotBeSavedIsReported) {
    writeFile(app->root() / "config", kInstalled);
    writeFile(app->root() / "token" / "keep", "x");  // a directory that cannot become a file
    server.route("/api/link/claim", 200, tokenReply(kToken));
    const auto shown = pair(server.base());
    EXPECT_EQ(shown.title, "Could not save pairing");
    EXPECT_FALSE(shown.text.empty());
    // The config written just before stays.
    EXPECT_EQ(readAll(app->root() / "config"),
              "SERVER=" + server.base() + "\nNODE=/usr/bin/node\nADB=/opt/platform-tools/adb\n");
    EXPECT_EQ(readAll(app->root() / "token" / "keep"), "x");
    EXPECT_TRUE(argsOf("launchctl").empty());
}

TEST_F(PairAccountTest, TheBranchFollowsWhatIsInstalled) {
    // No bridge ("ADB" missing) and no token: the set-up is downloaded, nothing is claimed.
    writeFile(app->root() / "config", "NODE=/usr/bin/node\n");
    EXPECT_EQ(pair(server.base()), (Message{std::string(kDownloadFailed), std::string(kRetryPairing)}));
    EXPECT_EQ(server.requests().at(0)["path"], "/link");

    // A token but no bridge: nothing is sent.
    writeFile(app->root() / "config", "SERVER=https://old.example\n");
    writeFile(app->root() / "token", kToken);
    EXPECT_EQ(pair(server.base()), message(kHalfInstalled));
    EXPECT_EQ(server.requests().size(), 1u);

    // Both keys present, even empty: the claim is sent.
    writeFile(app->root() / "config", "NODE=\nADB=\n");
    EXPECT_EQ(pair(server.base()).text, kCodeExpired);
    EXPECT_EQ(server.requests().at(1)["path"], "/api/link/claim");
}

TEST_F(PairAccountTest, AsksOnlyWhenNothingRunsAndChecksTheAnswersFirst) {
    app->holdOperation();
    app->menu->pairAccount();
    ASSERT_TRUE(app->releaseOperation());
    app->writeStatus({{"busy", "Opening the camera"}});
    app->menu->readStatus();
    app->menu->pairAccount();
    EXPECT_EQ(alerts(), (std::vector<Message>{message(kTaskInProgress), message(kTaskInProgress)}));
    EXPECT_TRUE(app->dialogs.forms.empty());

    app->writeStatus();
    app->menu->readStatus();
    writeFile(app->root() / "config", kInstalled);
    app->dialogs.alerts.clear();
    app->menu->pairAccount();  // cancelled: no message
    for (const auto& code : {kCode, std::string("23456")}) {
        app->dialogs.formAnswers.push_back(std::vector<std::string>{server.base() + "/api", code});
        app->menu->pairAccount();
    }
    EXPECT_EQ(alerts(), (std::vector<Message>{message(kInvalidServer), message(kCheckPairingDetails)}));
    EXPECT_FALSE(app->menu->operation());
    EXPECT_TRUE(server.requests().empty());

    const auto& form = app->dialogs.forms.at(0);
    std::string shown = form.title + "|" + form.text + "|" + form.button;
    for (const auto& field : form.fields) shown += "|" + field.label + "=" + field.value + (field.secure ? "*" : "");
    EXPECT_EQ(shown,
              "Pair this Mac|Create a fresh 6-digit code in Devices → Link a computer. First pairing installs the "
              "background bridge from your chosen HTTPS server.|Pair|Server=https://old.example|Pairing code=");
}

// Each request ends by its own limits (how the limits work is the HTTP adapter's, tested there).
// The claim (with the bridge installed) and the set-up download (without) each end by their own limit; a test
// each, as curl looks at an idle transfer only about once a second.
class RequestLimitTest : public PairAccountTest {
  protected:
    Message stalled(const std::string& config) {
        start([](Options& options) {
            options.claimIdle = 0.4;
            options.downloadIdle = 0.6;
        });
        writeFile(app->root() / "config", config);
        server.route(config.empty() ? "/link" : "/api/link/claim", {{"status", 200}, {"delay", 30}});
        return pair(server.base());
    }
};

TEST_F(RequestLimitTest, TheClaimEndsByItsOwn) {
    EXPECT_EQ(stalled(kInstalled), (Message{"Pairing failed", "Nothing came from the server for 0.4 seconds."}));
}

TEST_F(RequestLimitTest, TheDownloadEndsByItsOwn) {
    EXPECT_EQ(stalled(""), (Message{"Bridge download failed", "Nothing came from the server for 0.6 seconds."}));
}

TEST_F(PairAccountTest, TheCodeStaysOnItsHost) {
    const std::string other = server.base("localhost");  // the same server under another name
    writeFile(app->root() / "config", kInstalled);
    server.route("/api/link/claim", {{"status", 307}, {"location", other + "/elsewhere"}});
    server.route("/elsewhere", 200, tokenReply(kToken));
    const auto shown = pair(server.base());
    EXPECT_EQ(shown.title, "Pairing failed");
    EXPECT_NE(shown.text.find("another host, “localhost”"), std::string::npos) << shown.text;
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(app->root() / "token"));
    // Within the host, a redirect is followed.
    server.route("/api/link/claim", {{"status", 307}, {"location", server.base() + "/elsewhere"}});
    EXPECT_EQ(pair(server.base()), message(kMacPaired));
}

// Only a 200 whose body is an object with a "token" of 64 lower-case hexadecimal digits is an account token.
TEST(ClaimReply, OnlyA200WithAnAccountToken) {
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
    const std::pair<long, std::string> refused[] = {
        {500, tokenReply(kToken)},
        {201, tokenReply(kToken)},
        {200, "[" + tokenReply(kToken) + "]"},
        {200, "{}"},
        {200, '"' + kToken + '"'},
        {200, tokenReply(kToken).substr(1)},
        {200, ""},
        {200, R"({"tok":")" + kToken + R"("})"},
        {200, tokenReply(upper)},
        {200, tokenReply(kToken + "0")},
        {200, tokenReply(kToken.substr(1) + "g")},
        {200, R"({"token":1234})"},
        {200, R"({"token":null})"},
    };
    const auto reply = [](long status, std::string body) {
        return readClaimReply({.transportError = {}, .status = status, .finalUrl = {}, .body = std::move(body)});
    };
    for (const auto& [status, body] : refused) EXPECT_EQ(claimedToken(reply(status, body)), std::nullopt) << body;
    EXPECT_EQ(claimedToken(reply(200, R"({"ok":1,"token":")" + kToken + "\"}")), kToken);
}

TEST(ClaimBody, IsCompactJsonOrNothing) {
    EXPECT_EQ(claimBody("234567", "Léa’s \"Mac\""), R"({"code":"234567","label":"Léa’s \"Mac\""})");
    EXPECT_FALSE(claimBody("234567", "bad \xFF name"));  // not UTF-8: no JSON text
    // A computer without a name is a Mac to the server.
    EXPECT_EQ(claimLabel(""), "Mac");
    EXPECT_EQ(claimLabel("Ada's laptop"), "Ada's laptop");
}

}  // namespace
}  // namespace tavix::test
