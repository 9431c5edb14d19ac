// The "config" reader and the three lines the pairing writes back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/system/utf8.h"
#include "state/config.h"

namespace tavix {
namespace {

// The file format read line by line, written apart from the parser it checks.
Config model(std::string_view text) {
    Config config;
    if (!isValidUtf8(text)) return config;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) config[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return config;
}

// A value that survives a rewrite: one line, not ending in the carriage return a CR LF file would lose.
bool keepsOnALine(std::string_view value) {
    return isValidUtf8(value) && value.find('\n') == std::string_view::npos && (value.empty() || value.back() != '\r');
}

}  // namespace
}  // namespace tavix

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    const std::string_view whole(reinterpret_cast<const char*>(data), size);

    // The whole input as a file.
    const Config config = parseConfig(whole);
    FUZZ_CHECK(config == model(whole));
    for (const auto& [key, value] : config) {
        FUZZ_CHECK(key.find('\n') == std::string::npos && value.find('\n') == std::string::npos);
        FUZZ_CHECK(key.find('=') == std::string::npos);
        FUZZ_CHECK(isValidUtf8(key) && isValidUtf8(value));
        FUZZ_CHECK(whole.find(key + "=" + value) != std::string_view::npos);
    }

    // What the pairing writes when it rewrites the file: the new server, and NODE and ADB as read.
    FuzzedDataProvider provider(data, size);
    const std::string server = provider.ConsumeRandomLengthString(256);
    const auto node = config.find("NODE");
    const auto adb = config.find("ADB");
    const std::string nodeValue = node != config.end() ? node->second : provider.ConsumeRandomLengthString(256);
    const std::string adbValue = adb != config.end() ? adb->second : provider.ConsumeRandomLengthString(256);
    const std::string written = formatConfig(server, nodeValue, adbValue);
    const Config reread = parseConfig(written);
    for (const auto& [key, value] : reread) FUZZ_CHECK(key.find('\n') == std::string::npos);
    if (keepsOnALine(server) && keepsOnALine(nodeValue) && keepsOnALine(adbValue)) {
        FUZZ_CHECK(reread == (Config{{"SERVER", server}, {"NODE", nodeValue}, {"ADB", adbValue}}));
    }
    return 0;
}
