#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavix {

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<std::string> body;
    // The request ends when nothing has come from the server for `idleSeconds` (connecting included), and in any
    // case after `ceilingSeconds`, so that a slow link can finish and a trickle cannot hold it forever.
    double idleSeconds = 60;
    double ceilingSeconds = 600;
    // Receiving stops once the body holds this many bytes; 0 means no limit.
    std::size_t maxBodyBytes = 0;
    // Redirects are followed within the host only: a request that carries a secret is never sent to another.
    bool sameHostOnly = false;
};

struct HttpResponse {
    // Set when no HTTP response arrived (no connection, time-out, TLS failure, …).
    std::optional<std::string> transportError;
    long status = 0;
    std::string finalUrl;  // after redirects
    std::optional<std::string> body;
    bool bodyCut = false;  // the body reached maxBodyBytes and the rest was not received
};

class Http {
  public:
    virtual ~Http() = default;
    // Sends one request; `completion` runs once, on any thread.
    virtual void send(HttpRequest request, std::function<void(HttpResponse)> completion) = 0;
};

}  // namespace tavix
