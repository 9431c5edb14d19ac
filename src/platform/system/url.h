#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavix {

// The parts of an absolute URL. A part that is present counts even when it is empty ("https://h?" has a query).
struct UrlParts {
    std::string scheme;
    std::optional<std::string> host;  // absent when the URL has no host or an empty one
    bool hasUser = false;
    bool hasPassword = false;
    bool hasQuery = false;
    bool hasFragment = false;
};

// Parses `text` as a URL reference; nothing when it is not one. A reference without a scheme has an empty scheme.
std::optional<UrlParts> parseUrl(std::string_view text);

// The host of `server`, or the whole text when it is not a URL with a host.
std::string hostOrWhole(const std::string& server);

}  // namespace tavix
