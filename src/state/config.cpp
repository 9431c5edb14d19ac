#include "state/config.h"

#include "platform/system/utf8.h"

namespace tavix {

Config parseConfig(std::string_view text) {
    Config config;
    if (!isValidUtf8(text)) return config;
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        // Files edited on other systems may end lines with CR LF.
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        config.insert_or_assign(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
    }
    return config;
}

std::string formatConfig(std::string_view server, std::string_view node, std::string_view adb) {
    std::string text;
    text.append("SERVER=").append(server).append("\n");
    text.append("NODE=").append(node).append("\n");
    text.append("ADB=").append(adb).append("\n");
    return text;
}

}  // namespace tavix
