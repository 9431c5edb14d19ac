#include "pairing/claim.h"

#include <gtest/gtest.h>

namespace tavix {
namespace {

const std::string kToken = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

TEST(ClaimBody, IsCompactJsonWithTheCodeAndTheLabel) {
    EXPECT_EQ(claimBody("234567", "Desk"), R"({"code":"234567","label":"Desk"})");
    const std::string label = "Léa’s \"Mac\" \\ 1";
    const auto body = claimBody("999999", label);
    ASSERT_TRUE(body);
    const auto parsed = nlohmann::json::parse(*body);
    EXPECT_EQ(parsed, (nlohmann::json{{"code", "999999"}, {"label", label}}));
    // A label that is not UTF-8 cannot be sent as JSON text.
    EXPECT_FALSE(claimBody("234567", "bad \xFF name"));
}

TEST(ClaimBody, LabelIsNeverEmpty) {
    EXPECT_FALSE(claimLabel().empty());
}

TEST(ClaimReply, OnlyAStatus200ObjectWithALowerCaseHexTokenIsSuccess) {
    struct Case {
        std::string name;
        long status;
        std::optional<std::string> body;
        std::optional<std::string> token;
        bool cut = false;
    };
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
    const Case cases[] = {
        {"valid", 200, R"({"token":")" + kToken + R"("})", kToken},
        {"other members ignored", 200, R"( {"ok":true,"token":")" + kToken + R"(","user":{"id":4}} )", kToken},
        {"404", 404, R"({"token":")" + kToken + R"("})", std::nullopt},
        {"500", 500, R"({"error":"boom"})", std::nullopt},
        {"201", 201, R"({"token":")" + kToken + R"("})", std::nullopt},
        {"array", 200, R"([{"token":")" + kToken + R"("}])", std::nullopt},
        {"empty object", 200, "{}", std::nullopt},
        {"scalar", 200, R"(")" + kToken + R"(")", std::nullopt},
        {"invalid JSON", 200, R"({"token":")" + kToken + R"(")", std::nullopt},
        {"empty body", 200, "", std::nullopt},
        {"no body", 200, std::nullopt, std::nullopt},
        {"no token", 200, R"({"tok":")" + kToken + R"("})", std::nullopt},
        {"upper case", 200, R"({"token":")" + upper + R"("})", std::nullopt},
        {"63 digits", 200, R"({"token":")" + kToken.substr(1) + R"("})", std::nullopt},
        {"65 digits", 200, R"({"token":")" + kToken + R"(0"})", std::nullopt},
        {"not hex", 200, R"({"token":")" + kToken.substr(1) + R"(g"})", std::nullopt},
        {"number", 200, R"({"token":12345})", std::nullopt},
        {"null", 200, R"({"token":null})", std::nullopt},
        {"cut at the size limit", 200, R"({"token":")" + kToken + R"("})", std::nullopt, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpResponse response;
        response.status = c.status;
        response.body = c.body;
        response.bodyCut = c.cut;
        EXPECT_EQ(claimedToken(readClaimReply(response)), c.token);
    }
}

TEST(ClaimReply, ATransportErrorIsNoReply) {
    HttpResponse response;
    response.transportError = "Could not connect";
    const auto reply = readClaimReply(response);
    EXPECT_EQ(reply.transportError, "Could not connect");
    EXPECT_EQ(reply.status, 0);
    EXPECT_FALSE(claimedToken(reply));
}

}  // namespace
}  // namespace tavix
