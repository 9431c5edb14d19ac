#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavix {

// The computer's user-visible name: the pretty host name of `machineInfo`, else the host name; the empty text
// when neither is a non-empty UTF-8 text.
std::string computerName(const std::filesystem::path& machineInfo = "/etc/machine-info");

// The PRETTY_HOSTNAME value of machine-info text (shell-style assignments, values optionally quoted).
std::optional<std::string> prettyHostName(std::string_view machineInfo);

}  // namespace tavix
