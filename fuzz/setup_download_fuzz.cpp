// Whether a downloaded set-up script may be run.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "pairing/setup_download.h"
#include "platform/system/curl_http.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    FuzzedDataProvider provider(data, size);
    const auto flags = provider.ConsumeIntegral<std::uint8_t>();
    HttpResponse response;
    if ((flags & 1) != 0) response.transportError = "Operation timed out";
    response.bodyCut = (flags & 2) != 0;
    response.status = (flags & 4) != 0 ? provider.ConsumeIntegral<long>() : 200;
    // Sizes around the limit are made, not read: the fuzzer's inputs stay small.
    if ((flags & 8) == 0) {
        const std::size_t bytes = (flags & 16) != 0 ? provider.ConsumeIntegralInRange<std::size_t>(0, 160'000)
                                                    : provider.ConsumeIntegralInRange<std::size_t>(0, 16);
        response.body = std::string(bytes, '#');
    }
    const std::string base = provider.ConsumeRandomLengthString(128);
    // The final URL: mostly the request's own, else anything.
    response.finalUrl = (flags & 32) != 0 ? provider.ConsumeRemainingBytesAsString() : base + "/link";

    const bool accepted = acceptSetupDownload(response, base);
    // Hosts as libcurl reads them, as it reports the final URL.
    const auto baseHost = normalisedHost(base);
    if (accepted) {
        FUZZ_CHECK(!response.transportError && response.status == 200 && !response.bodyCut);
        FUZZ_CHECK(response.body && !response.body->empty() && response.body->size() <= 149'999);
        FUZZ_CHECK(normalisedHost(response.finalUrl) == baseHost);
    }
    // A base with a host accepts its own "/link" with any body of a good size.
    if (baseHost && normalisedHost(base + "/link") == baseHost && response.finalUrl == base + "/link" &&
        !response.transportError && response.status == 200 && !response.bodyCut && response.body) {
        FUZZ_CHECK(accepted == (!response.body->empty() && response.body->size() < kSetupScriptLimit));
    }
    return 0;
}
