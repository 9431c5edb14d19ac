#include "platform/system/curl_http.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <sstream>

#include "platform/system/curl_library.h"

namespace tavix {
namespace {

using Clock = std::chrono::steady_clock;

// Rounded by the clock's arithmetic rather than libm's, which the command line then need not load at start.
long milliseconds(double seconds) {
    return static_cast<long>(
        std::chrono::round<std::chrono::milliseconds>(std::chrono::duration<double>(seconds)).count());
}

// What the callbacks of one transfer share.
struct Transfer {
    const CurlLibrary* api = nullptr;
    CURL* handle = nullptr;
    std::string body;
    std::size_t limit = 0;
    bool cut = false;
    // The idle limit: anything from the server (a connection made, headers, body) counts as activity.
    Clock::duration idle{};
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastCount = 0;
    bool idleExpired = false;
    // Set for a request that must stay on its host: the host, and the other host a redirect would have taken it to.
    std::optional<std::string> host;
    std::optional<std::string> otherHost;
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->lastActivity = Clock::now();
    const std::size_t bytes = size * count;
    if (transfer->limit != 0 && transfer->body.size() + bytes >= transfer->limit) {
        // Enough to refuse it: stop here rather than hold whatever a server cares to send.
        transfer->body.append(data, transfer->limit - transfer->body.size());
        transfer->cut = true;
        return 0;
    }
    transfer->body.append(data, bytes);
    return bytes;
}

std::size_t receiveHeader(char*, std::size_t size, std::size_t count, void* context) {
    static_cast<Transfer*>(context)->lastActivity = Clock::now();
    return size * count;
}

// Called often while data flows and about once a second while nothing does.
int progress(void* context, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
    auto* transfer = static_cast<Transfer*>(context);
    const auto now = Clock::now();
    if (downloaded + uploaded != transfer->lastCount) {
        transfer->lastCount = downloaded + uploaded;
        transfer->lastActivity = now;
    }
    transfer->idleExpired = now - transfer->lastActivity > transfer->idle;
    return transfer->idleExpired ? 1 : 0;
}

// Once connected, before each request (the first and every redirected one) is sent.
int beforeRequest(void* context, char*, char*, int, int) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->lastActivity = Clock::now();
    if (!transfer->host) return CURL_PREREQFUNC_OK;
    char* url = nullptr;
    transfer->api->easyGetinfo(transfer->handle, CURLINFO_EFFECTIVE_URL, &url);
    const auto host = url != nullptr ? normalisedHost(url) : std::nullopt;
    if (host == transfer->host) return CURL_PREREQFUNC_OK;
    transfer->otherHost = host.value_or(url != nullptr ? url : "");
    return CURL_PREREQFUNC_ABORT;
}

std::string seconds(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
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

std::optional<std::string> normalisedHost(const std::string& url) {
    const CurlLibrary* api = curlLibrary();
    CURLU* parsed = api != nullptr ? api->url() : nullptr;
    if (parsed == nullptr) return std::nullopt;
    std::optional<std::string> host;
    char* text = nullptr;
    if (api->urlSet(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        api->urlGet(parsed, CURLUPART_HOST, &text, 0) == CURLUE_OK && text != nullptr) {
        host = text;
        // Host names are compared without regard to case.
        std::transform(host->begin(), host->end(), host->begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    }
    if (text != nullptr) api->free(text);
    api->urlCleanup(parsed);
    return host;
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
    Transfer transfer;
    transfer.api = api;
    transfer.handle = handle;
    transfer.limit = request.maxBodyBytes;
    transfer.idle = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(request.idleSeconds));
    if (request.sameHostOnly) {
        transfer.host = normalisedHost(request.url);
        if (!transfer.host) {
            response.transportError = "“" + request.url + "” is not a web address.";
            return response;
        }
    }
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
    if (request.idleSeconds > 0) {
        api->easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(request.idleSeconds));
        api->easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
        api->easySetopt(handle, CURLOPT_XFERINFOFUNCTION, progress);
        api->easySetopt(handle, CURLOPT_XFERINFODATA, &transfer);
    }
    if (request.ceilingSeconds > 0) {
        api->easySetopt(handle, CURLOPT_TIMEOUT_MS, milliseconds(request.ceilingSeconds));
    }
    api->easySetopt(handle, CURLOPT_PREREQFUNCTION, beforeRequest);
    api->easySetopt(handle, CURLOPT_PREREQDATA, &transfer);
    api->easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    api->easySetopt(handle, CURLOPT_ERRORBUFFER, errorText);
    api->easySetopt(handle, CURLOPT_WRITEFUNCTION, receive);
    api->easySetopt(handle, CURLOPT_WRITEDATA, &transfer);
    api->easySetopt(handle, CURLOPT_HEADERFUNCTION, receiveHeader);
    api->easySetopt(handle, CURLOPT_HEADERDATA, &transfer);
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
    if (transfer.otherHost) {
        response.transportError =
            "The server sent the request on to another host, “" + *transfer.otherHost + "”, and it was not sent there.";
        return response;
    }
    if (transfer.idleExpired) {
        response.transportError = "Nothing came from the server for " + seconds(request.idleSeconds) +
                                  (request.idleSeconds == 1 ? " second." : " seconds.");
        return response;
    }
    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.cut)) {
        response.transportError = errorText[0] != '\0' ? std::string(errorText) : api->easyStrerror(result);
        return response;
    }
    long status = 0;
    api->easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    char* finalUrl = nullptr;
    api->easyGetinfo(handle, CURLINFO_EFFECTIVE_URL, &finalUrl);
    response.status = status;
    response.finalUrl = finalUrl != nullptr ? finalUrl : request.url;
    response.body = std::move(transfer.body);
    response.bodyCut = transfer.cut;
    return response;
}

}  // namespace tavix
