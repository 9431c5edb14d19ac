#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/http.h"

namespace tavix {

// HTTPS through libcurl, one worker thread per request. Only https is spoken (redirects included), and the
// server's certificate is always verified: against the system's authorities, or against `authorityFile` when one
// is given (tests use their own authority this way).
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
