#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tavix {

// The "config" file: key=value lines, nothing trimmed, the last of repeated keys wins.
using Config = std::map<std::string, std::string>;

inline constexpr std::string_view kDefaultServer = "https://tavix.app";

// Reads config text. Text that is not UTF-8 reads as empty; a line's one trailing carriage return is dropped.
Config parseConfig(std::string_view text);

// The three lines the application writes: SERVER, NODE and ADB, each ended by a line feed.
std::string formatConfig(std::string_view server, std::string_view node, std::string_view adb);

}  // namespace tavix
