#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace tavix::test {

// A throw-away certificate authority and a server certificate it signed for "localhost" and 127.0.0.1, made with
// the openssl program.
class TestAuthority {
  public:
    TestAuthority();
    // One authority for the whole test program (making one takes a moment).
    static const TestAuthority& shared();

    std::filesystem::path authorityFile() const { return dir_ / "authority.pem"; }
    std::filesystem::path certificateFile() const { return dir_ / "server.pem"; }
    std::filesystem::path keyFile() const { return dir_ / "server.key"; }

  private:
    TempDir dir_;
};

// What the server answers on one path.
struct Route {
    int status = 200;
    std::string body;
    std::optional<std::size_t> bodyBytes;  // that many "x" bytes instead of `body`
    std::string location;                  // a Location header when not empty
    double delaySeconds = 0;
    bool endless = false;  // streams bytes until the client hangs up

    static Route text(int status, std::string body);
    static Route bytes(std::size_t count, int status = 200);
    static Route redirect(std::string location, int status = 302);
    static Route slow(double seconds, std::string body);
    static Route endlessBody();
};

struct RecordedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // Every value of the header `name` (compared without regard to case).
    std::vector<std::string> header(std::string_view name) const;
};

// A real HTTPS server on 127.0.0.1 (tests/support/https_server.py) with scripted routes; it records each request.
class HttpsTestServer {
  public:
    explicit HttpsTestServer(const TestAuthority& authority = TestAuthority::shared());
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    int port() const { return port_; }
    // "https://<host>:<port>", the form of a server base.
    std::string base(std::string_view host = "127.0.0.1") const;
    std::string url(std::string_view path, std::string_view host = "127.0.0.1") const {
        return base(host) + std::string(path);
    }

    void route(const std::string& path, const Route& answer);
    std::vector<RecordedRequest> requests() const;

  private:
    void writeRoutes() const;

    TempDir dir_;
    std::vector<std::pair<std::string, Route>> routes_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on (it was free a moment ago).
int unusedPort();

}  // namespace tavix::test
