#pragma once

#include <string>
#include <string_view>

namespace tavix {

// A failure a command reports to the user: where it came from and a sentence a person can read.
struct Error {
    std::string domain;
    int code = 0;
    std::string description;
};

inline constexpr std::string_view kPosixDomain = "POSIX";
inline constexpr std::string_view kDirectoryDomain = "Directory";
inline constexpr std::string_view kTavixDomain = "Tavix";

}  // namespace tavix
