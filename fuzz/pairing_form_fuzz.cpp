// The pairing form's checks and the server base URL derived from an accepted answer.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "pairing/pairing_form.h"
#include "pairing/setup_download.h"
#include "platform/system/url.h"

namespace {

bool hostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == ':' ||
           c == '-';
}

// "^https://[A-Za-z0-9.:-]+/?$"
bool modelServerAddress(std::string_view server) {
    if (server.rfind("https://", 0) != 0) return false;
    server.remove_prefix(8);
    if (!server.empty() && server.back() == '/') server.remove_suffix(1);
    return !server.empty() && std::all_of(server.begin(), server.end(), hostCharacter);
}

// "^[2-9]{6}$"
bool modelCode(std::string_view code) {
    return code.size() == 6 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '2' && c <= '9'; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    FuzzedDataProvider provider(data, size);
    const std::string code = provider.ConsumeRandomLengthString(16);
    const std::string server = provider.ConsumeRemainingBytesAsString();

    FUZZ_CHECK(isPairingCode(code) == modelCode(code));
    FUZZ_CHECK(isServerAddress(server) == modelServerAddress(server));

    const std::string base = baseOf(server);
    FUZZ_CHECK(base.empty() || (base.front() != '/' && base.back() != '/'));
    FUZZ_CHECK(server.find(base) != std::string::npos);

    const auto refusal = checkPairingForm(server, code);
    if (!modelCode(code)) FUZZ_CHECK(refusal == kCheckPairingDetails);
    if (refusal) {
        FUZZ_CHECK(*refusal == kCheckPairingDetails || *refusal == kInvalidServer);
        return 0;
    }

    // Accepted: an https base with a host, no path, no trailing "/", and a code of six digits 2 to 9.
    FUZZ_CHECK(modelCode(code));
    FUZZ_CHECK(modelServerAddress(server));
    FUZZ_CHECK(base.rfind("https://", 0) == 0 && base.size() > 8);
    FUZZ_CHECK(base.back() != '/');
    FUZZ_CHECK(base == server || base + "/" == server);
    const auto serverUrl = parseUrl(server);
    const auto baseUrl = parseUrl(base);
    FUZZ_CHECK(serverUrl && baseUrl && baseUrl->scheme == "https" && baseUrl->host);
    FUZZ_CHECK(baseUrl->host == serverUrl->host);
    FUZZ_CHECK(!baseUrl->hasUser && !baseUrl->hasPassword && !baseUrl->hasQuery && !baseUrl->hasFragment);

    // The two requests built on it stay on that host, and the set-up download from there is accepted.
    for (const char* path : {"/api/link/claim", "/link"}) {
        const auto url = parseUrl(base + path);
        FUZZ_CHECK(url && url->host == baseUrl->host && !url->hasQuery && !url->hasFragment);
    }
    HttpResponse download;
    download.status = 200;
    download.finalUrl = base + "/link";
    download.body = "#!/bin/sh\n";
    FUZZ_CHECK(acceptSetupDownload(download, base));
    return 0;
}
