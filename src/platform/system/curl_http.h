#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/http.h"

namespace tavix {

// HTTPS through libcurl, one worker thread per request. Only https is spoken (redirects included), and the
// server's certificate is always verified: against the system's authorities, or against `authorityFile` when one
// is given (tests use their own authority this way).
// The host of an absolute URL as libcurl reads it, lower case: a numeric IPv4 address in any of its forms ("127.1",
// "0x7f.1", "2130706433") comes out dotted, as libcurl reports the URL it ended on. Nothing when it is no such URL
// or libcurl is missing.
std::optional<std::string> normalisedHost(const std::string& url);

class CurlHttp final : public Http {
  public:
    explicit CurlHttp(std::string authorityFile = {});
    // Waits for the requests still under way (each ends by its time-out at the latest): a worker must not be
    // left running into the process's exit, where the TLS library tears down what the worker still uses.
    ~CurlHttp() override;
    CurlHttp(const CurlHttp&) = delete;
    CurlHttp& operator=(const CurlHttp&) = delete;

    void send(HttpRequest request, std::function<void(HttpResponse)> completion) override;

    // Runs one request on the calling thread.
    HttpResponse perform(const HttpRequest& request) const;

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    const std::string authorityFile_;
    std::mutex mutex_;
    std::vector<Worker> workers_;
};

}  // namespace tavix
