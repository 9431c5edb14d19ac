// The URL reader behind the server checks and the host comparisons.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/system/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto parts = parseUrl(text);
    const std::string host = hostOrWhole(text);
    if (!parts) {
        FUZZ_CHECK(host == text);
        return 0;
    }
    // Every part is a piece of the text, in the place the URL syntax gives it.
    if (!parts->scheme.empty()) FUZZ_CHECK(text.rfind(parts->scheme + ":", 0) == 0);
    const auto fragment = text.find('#');
    const auto query = text.find('?');
    FUZZ_CHECK(parts->hasFragment == (fragment != std::string::npos));
    FUZZ_CHECK(parts->hasQuery == (query != std::string::npos && query < fragment));
    if (parts->hasUser) FUZZ_CHECK(text.find('@') != std::string::npos && text.find("//") != std::string::npos);
    if (parts->hasPassword) FUZZ_CHECK(parts->hasUser);
    if (parts->host) {
        FUZZ_CHECK(!parts->host->empty());
        FUZZ_CHECK(text.find(*parts->host) != std::string::npos);
        FUZZ_CHECK(host == *parts->host);
        for (char c : *parts->host) FUZZ_CHECK(c > ' ' && c < 0x7F && c != '/' && c != '?' && c != '#');
    } else {
        FUZZ_CHECK(host == text);
    }
    return 0;
}
