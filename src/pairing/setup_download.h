#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "platform/http.h"

namespace tavix {

// A set-up script of this size or more is refused; receiving stops when the body reaches it.
inline constexpr std::size_t kSetupScriptLimit = 150'000;

// Whether a download of the set-up script may be run: status 200, still on the host of `base` after redirects
// (compared as libcurl reads both), and a body of 1 to 149 999 bytes.
bool acceptSetupDownload(const HttpResponse& response, std::string_view base);

// Whether the application runs from a mounted volume (an opened disk image or a removable disk) rather than
// from where it was installed.
bool runsFromMountedVolume(const std::filesystem::path& appPath);

}  // namespace tavix
