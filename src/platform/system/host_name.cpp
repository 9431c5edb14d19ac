#include "platform/system/host_name.h"

#include <unistd.h>

#include <climits>

#include "platform/system/files.h"
#include "platform/system/utf8.h"

namespace tavix {
namespace {

// The value of one assignment, with the shell-style quoting undone the way systemd reads this file.
std::string unquote(std::string_view value) {
    std::string out;
    std::size_t kept = 0;  // trailing unquoted white space is not part of the value
    char quote = '\0';
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quote == '\'') {
            if (c == '\'') {
                quote = '\0';
            } else {
                out += c;
            }
        } else if (quote == '"') {
            if (c == '"') {
                quote = '\0';
            } else if (c == '\\' && i + 1 < value.size() &&
                       std::string_view("\"\\`$").find(value[i + 1]) != std::string_view::npos) {
                out += value[++i];
            } else {
                out += c;
            }
        } else if (c == '\\' && i + 1 < value.size()) {
            out += value[++i];
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else {
            out += c;
            if (c != ' ' && c != '\t' && c != '\r') kept = out.size();
            continue;
        }
        kept = out.size();
    }
    out.resize(kept);
    return out;
}

bool usable(const std::string& name) {
    return !name.empty() && isValidUtf8(name);
}

}  // namespace

std::optional<std::string> prettyHostName(std::string_view machineInfo) {
    std::optional<std::string> found;
    while (!machineInfo.empty()) {
        const auto end = machineInfo.find('\n');
        auto line = machineInfo.substr(0, end);
        machineInfo = end == std::string_view::npos ? std::string_view{} : machineInfo.substr(end + 1);
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) continue;
        line.remove_prefix(start);
        constexpr std::string_view key = "PRETTY_HOSTNAME=";
        if (line.substr(0, key.size()) == key) found = unquote(line.substr(key.size()));
    }
    return found;
}

std::string computerName(const std::filesystem::path& machineInfo) {
    if (auto text = readFile(machineInfo, 64 * 1024)) {
        if (auto pretty = prettyHostName(*text); pretty && usable(*pretty)) return *pretty;
    }
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && usable(name)) return name;
    return {};
}

}  // namespace tavix
