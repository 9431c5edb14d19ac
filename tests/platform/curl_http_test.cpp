#include "platform/curl_http.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "support/https_test_server.h"

namespace tavix {
namespace {

using test::HttpsTestServer;
using test::Route;
using test::TestAuthority;

class CurlHttpTest : public ::testing::Test {
  protected:
    HttpResponse get(const std::string& url, std::size_t cap = 0, double timeout = 20) const {
        HttpRequest request;
        request.url = url;
        request.maxBodyBytes = cap;
        request.timeoutSeconds = timeout;
        return http.perform(request);
    }

    HttpsTestServer server;
    CurlHttp http{TestAuthority::shared().authorityFile().string()};
};

TEST_F(CurlHttpTest, ReportsStatusBodyAndFinalUrl) {
    server.route("/hello", Route::text(200, "hi there"));
    server.route("/gone", Route::text(404, "not here"));
    server.route("/broken", Route::text(500, ""));
    struct Case {
        std::string path;
        long status;
        std::string body;
    };
    for (const auto& c : {Case{"/hello", 200, "hi there"}, Case{"/gone", 404, "not here"}, Case{"/broken", 500, ""}}) {
        SCOPED_TRACE(c.path);
        const auto response = get(server.url(c.path));
        ASSERT_FALSE(response.transportError) << *response.transportError;
        EXPECT_EQ(response.status, c.status);
        ASSERT_TRUE(response.body);
        EXPECT_EQ(*response.body, c.body);
        EXPECT_FALSE(response.bodyCut);
        EXPECT_EQ(response.finalUrl, server.url(c.path));
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/hello");
}

TEST_F(CurlHttpTest, PostsTheBodyWithOnlyTheGivenContentType) {
    server.route("/api/link/claim", Route::text(200, "{}"));
    HttpRequest request;
    request.method = "POST";
    request.url = server.url("/api/link/claim");
    request.headers = {{"Content-Type", "application/json"}};
    request.body = R"({"code":"234567","label":"Desk"})";
    const auto response = http.perform(request);
    ASSERT_FALSE(response.transportError) << *response.transportError;
    EXPECT_EQ(response.status, 200);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, R"({"code":"234567","label":"Desk"})");
    EXPECT_EQ(requests[0].header("Content-Type"), std::vector<std::string>{"application/json"});
    EXPECT_TRUE(requests[0].header("Authorization").empty());
    EXPECT_TRUE(requests[0].header("Cookie").empty());
}

TEST_F(CurlHttpTest, FollowsRedirectsToAnotherNameAndReportsWhereItEnded) {
    server.route("/link", Route::redirect(server.url("/elsewhere", "localhost")));
    server.route("/elsewhere", Route::text(200, "echo hi\n"));
    const auto response = get(server.url("/link"));
    ASSERT_FALSE(response.transportError) << *response.transportError;
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.finalUrl, server.url("/elsewhere", "localhost"));
    EXPECT_EQ(response.body, "echo hi\n");
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(CurlHttpTest, SpeaksOnlyHttps) {
    // A redirect down to plain http is not followed, and a plain http address is not fetched at all.
    server.route("/down", Route::redirect("http://127.0.0.1:" + std::to_string(server.port()) + "/x"));
    EXPECT_TRUE(get(server.url("/down")).transportError);
    EXPECT_TRUE(get("http://127.0.0.1:" + std::to_string(server.port()) + "/x").transportError);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(CurlHttpTest, RefusesServersWhoseCertificateItCannotVerify) {
    // Signed by an authority nobody trusts.
    TestAuthority stranger;
    HttpsTestServer impostor(stranger);
    impostor.route("/link", Route::text(200, "x"));
    const auto untrusted = get(impostor.url("/link"));
    ASSERT_TRUE(untrusted.transportError);
    EXPECT_FALSE(untrusted.transportError->empty());
    EXPECT_EQ(untrusted.status, 0);
    EXPECT_TRUE(impostor.requests().empty());

    // Without a test authority only the system's are trusted, and ours is not one of them.
    server.route("/link", Route::text(200, "x"));
    HttpRequest request;
    request.url = server.url("/link");
    request.timeoutSeconds = 20;
    EXPECT_TRUE(CurlHttp().perform(request).transportError);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(CurlHttpTest, ReportsRefusedConnectionsAndTimeOuts) {
    const auto refused = get("https://127.0.0.1:" + std::to_string(test::unusedPort()) + "/x");
    ASSERT_TRUE(refused.transportError);
    EXPECT_FALSE(refused.transportError->empty());

    server.route("/slow", Route::slow(30, "late"));
    const auto late = get(server.url("/slow"), 0, 0.5);
    ASSERT_TRUE(late.transportError);
    EXPECT_NE(late.transportError->find("timed out"), std::string::npos) << *late.transportError;
}

TEST_F(CurlHttpTest, StopsReceivingAtTheBodyCapWithoutATransportError) {
    constexpr std::size_t cap = 150'000;
    server.route("/under", Route::bytes(cap - 1));
    server.route("/at", Route::bytes(cap));
    server.route("/huge", Route::bytes(20 * cap));
    server.route("/endless", Route::endlessBody());
    struct Case {
        std::string path;
        std::size_t size;
        bool cut;
    };
    for (const auto& c : {Case{"/under", cap - 1, false}, Case{"/at", cap, true}, Case{"/huge", cap, true},
                          Case{"/endless", cap, true}}) {
        SCOPED_TRACE(c.path);
        // An endless body would run into the time-out if receiving did not stop at the cap.
        const auto response = get(server.url(c.path), cap, 60);
        ASSERT_FALSE(response.transportError) << *response.transportError;
        EXPECT_EQ(response.status, 200);
        ASSERT_TRUE(response.body);
        EXPECT_EQ(response.body->size(), c.size);
        EXPECT_EQ(response.bodyCut, c.cut);
    }
}

TEST_F(CurlHttpTest, SendCompletesOnceOnAnotherThread) {
    server.route("/hello", Route::text(200, "hi"));
    HttpRequest request;
    request.url = server.url("/hello");
    request.timeoutSeconds = 20;
    std::mutex mutex;
    std::vector<std::pair<HttpResponse, std::thread::id>> results;
    {
        CurlHttp shortLived(TestAuthority::shared().authorityFile().string());
        for (int i = 0; i < 3; ++i) {
            shortLived.send(request, [&](HttpResponse response) {
                std::lock_guard lock(mutex);
                results.emplace_back(std::move(response), std::this_thread::get_id());
            });
        }
        // Leaving the scope waits for the requests under way.
    }
    ASSERT_EQ(results.size(), 3u);
    for (const auto& [response, thread] : results) {
        EXPECT_NE(thread, std::this_thread::get_id());
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, "hi");
    }
    EXPECT_EQ(server.requests().size(), 3u);
}

}  // namespace
}  // namespace tavix
