#pragma once

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "support/temp_dir.h"

namespace tavix::test {

// A real HTTPS server on 127.0.0.1 (tests/support/https_server.py) with its own self-signed certificate for
// "localhost" and 127.0.0.1. It answers each path as routed and records every request.
class HttpsTestServer {
  public:
    HttpsTestServer();
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    // The certificate a client must trust to talk to this server.
    std::string authority() const { return (dir_ / "cert.pem").string(); }
    int port() const { return port_; }
    // The same routes over plain HTTP.
    int plainPort() const { return plainPort_; }
    std::string base(const std::string& host = "127.0.0.1") const {
        return "https://" + host + ":" + std::to_string(port_);
    }
    // {"status", "body", "location", "delay" (seconds), "endless" (bytes until the client hangs up), "pieces" (the
    // body in that many parts), "pause" (seconds before each part after the first)}
    void route(const std::string& path, const nlohmann::json& answer);
    void route(const std::string& path, int status, const std::string& body) {
        route(path, {{"status", status}, {"body", body}});
    }
    // Each request as {"method", "path", "headers": {lower-case name: [values]}, "body"}.
    nlohmann::json requests() const;

  private:
    TempDir dir_;
    nlohmann::json routes_ = nlohmann::json::object();
    std::FILE* output_ = nullptr;
    int port_ = 0;
    int pid_ = 0;
    int plainPort_ = 0;
};

// A port on 127.0.0.1 that nothing listens on any more.
int deadPort();

}  // namespace tavix::test
