#include "platform/curl_http.h"

#include <cmath>
#include <exception>

#include "platform/curl_library.h"

namespace tavix {
namespace {

struct Received {
    std::string body;
    std::size_t limit = 0;
    bool cut = false;
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* context) {
    auto* received = static_cast<Received*>(context);
    const std::size_t bytes = size * count;
    if (received->limit != 0 && received->body.size() + bytes >= received->limit) {
        // Enough to refuse it: stop here rather than hold whatever a server cares to send.
        received->body.append(data, received->limit - received->body.size());
        received->cut = true;
        return 0;
    }
    received->body.append(data, bytes);
    return bytes;
}

}  // namespace

CurlHttp::CurlHttp(std::string authorityFile) : authorityFile_(std::move(authorityFile)) {}

CurlHttp::~CurlHttp() {
    std::lock_guard lock(mutex_);
    for (auto& worker : workers_) worker.thread.join();
}

void CurlHttp::send(HttpRequest request, std::function<void(HttpResponse)> completion) {
    // Loaded and set up here, on the caller's thread, before any worker uses it.
    curlLibrary();
    // Shared so that it can still be called here should the worker not start.
    auto shared = std::make_shared<std::function<void(HttpResponse)>>(std::move(completion));
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(mutex_);
        // Threads whose request is done only need joining.
        std::erase_if(workers_, [](Worker& worker) {
            if (!*worker.finished) return false;
            worker.thread.join();
            return true;
        });
        try {
            // Room first: once the thread runs, keeping it must not fail.
            workers_.reserve(workers_.size() + 1);
            workers_.push_back({std::thread([this, request = std::move(request), shared, finished] {
                                    (*shared)(perform(request));
                                    *finished = true;
                                }),
                                finished});
            return;
        } catch (const std::exception&) {
            // No thread (or no memory for one): reported like any other request that could not be made.
        }
    }
    HttpResponse response;
    response.transportError = "Could not start a network request.";
    (*shared)(std::move(response));
}

HttpResponse CurlHttp::perform(const HttpRequest& request) const {
    HttpResponse response;
    const CurlLibrary* api = curlLibrary();
    CURL* easy = api != nullptr ? api->easyInit() : nullptr;
    if (easy == nullptr) {
        response.transportError = "Could not start a network request.";
        return response;
    }
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(easy, api->easyCleanup);
    CURL* handle = curl.get();
    Received received;
    received.limit = request.maxBodyBytes;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request.headers)
        headers = api->slistAppend(headers, (name + ": " + value).c_str());
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, api->slistFreeAll);

    api->easySetopt(handle, CURLOPT_URL, request.url.c_str());
    api->easySetopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    api->easySetopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    api->easySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    api->easySetopt(handle, CURLOPT_MAXREDIRS, 16L);
    api->easySetopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    api->easySetopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    api->easySetopt(handle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (!authorityFile_.empty()) {
        // Only this authority, not the system's as well.
        api->easySetopt(handle, CURLOPT_CAINFO, authorityFile_.c_str());
        api->easySetopt(handle, CURLOPT_CAPATH, static_cast<char*>(nullptr));
    }
    if (request.timeoutSeconds > 0) {
        api->easySetopt(handle, CURLOPT_TIMEOUT_MS, std::lround(request.timeoutSeconds * 1000));
    }
    api->easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    api->easySetopt(handle, CURLOPT_ERRORBUFFER, errorText);
    api->easySetopt(handle, CURLOPT_WRITEFUNCTION, receive);
    api->easySetopt(handle, CURLOPT_WRITEDATA, &received);
    api->easySetopt(handle, CURLOPT_HTTPHEADER, headerList.get());
    if (request.method == "POST") {
        api->easySetopt(handle, CURLOPT_POST, 1L);
        const std::string& body = request.body ? *request.body : std::string();
        api->easySetopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        api->easySetopt(handle, CURLOPT_COPYPOSTFIELDS, body.c_str());
    } else if (request.method != "GET") {
        api->easySetopt(handle, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }

    const CURLcode result = api->easyPerform(handle);
    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && received.cut)) {
        response.transportError = errorText[0] != '\0' ? std::string(errorText) : api->easyStrerror(result);
        return response;
    }
    long status = 0;
    api->easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    char* finalUrl = nullptr;
    api->easyGetinfo(handle, CURLINFO_EFFECTIVE_URL, &finalUrl);
    response.status = status;
    response.finalUrl = finalUrl != nullptr ? finalUrl : request.url;
    response.body = std::move(received.body);
    response.bodyCut = received.cut;
    return response;
}

}  // namespace tavix
