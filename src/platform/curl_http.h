#pragma once

#include <string>

#include "platform/http.h"

namespace tavix {

// HTTPS through libcurl, one worker thread per request. Only https is spoken (redirects included), and the
// server's certificate is always verified: against the system's authorities, or against `authorityFile` when one
// is given (tests use their own authority this way).
class CurlHttp final : public Http {
public:
    explicit CurlHttp(std::string authorityFile = {});
    void send(HttpRequest request, std::function<void(HttpResponse)> completion) override;

    // Runs one request on the calling thread.
    HttpResponse perform(const HttpRequest& request) const;

private:
    std::string authorityFile_;
};

}  // namespace tavix
