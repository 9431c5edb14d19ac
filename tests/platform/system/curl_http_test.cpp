#include "platform/system/curl_http.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "support/https_test_server.h"

namespace tavix {
namespace {

HttpRequest get(const std::string& url, std::size_t cap = 0, double timeout = 60) {
    return {.method = "GET", .url = url, .headers = {}, .body = {}, .idleSeconds = timeout, .maxBodyBytes = cap};
}

// What the pairing tests do not already show end to end.
class CurlHttpTest : public ::testing::Test {
  protected:
    test::HttpsTestServer server;
    CurlHttp http{server.authority()};
};

TEST_F(CurlHttpTest, RefusesWhatIsNotVerifiedHttps) {
    const std::string plain = "http://127.0.0.1:" + std::to_string(server.plainPort()) + "/x";
    server.route("/x", 200, "plain");
    server.route("/down", {{"status", 302}, {"location", plain}});
    EXPECT_TRUE(http.perform(get(server.base() + "/down")).transportError);  // not followed down to plain http
    EXPECT_TRUE(http.perform(get(plain)).transportError);
    // Without a test authority only the system's are trusted, and the test server's is not one of them.
    EXPECT_TRUE(CurlHttp().perform(get(server.base() + "/x")).transportError);
    EXPECT_EQ(server.requests().size(), 1u);  // "/down" alone
}

TEST_F(CurlHttpTest, StopsReceivingAtTheBodyCap) {
    constexpr std::size_t cap = 150'000;
    server.route("/under", 200, std::string(cap - 1, 'x'));
    server.route("/at", 200, std::string(cap, 'x'));
    // Were receiving not to stop at the cap, this would end in the time-out.
    server.route("/endless", {{"status", 200}, {"endless", true}});
    const std::pair<std::string, bool> cases[] = {{"/under", false}, {"/at", true}, {"/endless", true}};
    for (const auto& [path, cut] : cases) {
        const auto response = http.perform(get(server.base() + path, cap));
        ASSERT_FALSE(response.transportError) << path << ": " << *response.transportError;
        EXPECT_EQ(response.body->size(), cut ? cap : cap - 1) << path;
        EXPECT_EQ(response.bodyCut, cut) << path;
    }
}

// A slow link finishes however long it takes in all; only silence for the idle limit, or the ceiling, ends it.
TEST_F(CurlHttpTest, OnlySilenceOrTheCeilingEndsARequest) {
    const std::string body(4000, 'x');
    struct Case {
        nlohmann::json route;
        std::optional<std::string> error;  // a part of the transport error
    } cases[] = {
        {{{"body", body}, {"pieces", 4}, {"pause", 0.25}}, std::nullopt},
        {{{"body", body}, {"pieces", 2}, {"pause", 30}}, "Nothing came from the server for 0.6 seconds."},
        {{{"body", body}, {"delay", 30}}, "Nothing came from the server for 0.6 seconds."},
        {{{"body", body}, {"pieces", 60}, {"pause", 0.25}}, "timed out"},
    };
    std::mutex mutex;
    std::vector<std::optional<HttpResponse>> responses(std::size(cases));
    {
        CurlHttp client(server.authority());
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            auto route = cases[i].route;
            route["status"] = 200;
            server.route("/slow" + std::to_string(i), route);
            auto request = get(server.base() + "/slow" + std::to_string(i), 0, 0.6);
            request.ceilingSeconds = 1.8;
            // Side by side: the whole table takes as long as its slowest row.
            client.send(request, [&, i](HttpResponse response) {
                std::lock_guard lock(mutex);
                responses[i] = std::move(response);
            });
        }
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_TRUE(responses[i]);
        if (!cases[i].error) {
            EXPECT_EQ(responses[i]->transportError, std::nullopt) << i;
            EXPECT_EQ(responses[i]->body, body);
        } else {
            ASSERT_TRUE(responses[i]->transportError) << i;
            EXPECT_NE(responses[i]->transportError->find(*cases[i].error), std::string::npos)
                << *responses[i]->transportError;
        }
    }
}

TEST_F(CurlHttpTest, SendCompletesOnAnotherThreadBeforeItsClientIsGone) {
    server.route("/hello", 200, "hi");
    std::mutex mutex;
    std::vector<std::pair<HttpResponse, std::thread::id>> results;
    {
        CurlHttp shortLived(server.authority());
        for (int i = 0; i < 3; ++i) {
            shortLived.send(get(server.base() + "/hello"), [&](HttpResponse response) {
                std::lock_guard lock(mutex);
                results.emplace_back(std::move(response), std::this_thread::get_id());
            });
        }
    }
    ASSERT_EQ(results.size(), 3u);
    for (const auto& [response, thread] : results) {
        EXPECT_NE(thread, std::this_thread::get_id());
        EXPECT_EQ(response.body, "hi");
    }
}

}  // namespace
}  // namespace tavix
