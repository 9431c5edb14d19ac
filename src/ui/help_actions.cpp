#include "ui/help_actions.h"

#include "platform/system/url.h"

namespace tavix {

std::optional<std::string> devicesPage(const std::string& server) {
    // Appended without normalising: a server ending in "/" gives "//phone", as it always has.
    std::string address = server + "/phone";
    auto parts = parseUrl(address);
    if (!parts || parts->scheme.empty()) return std::nullopt;
    return address;
}

}  // namespace tavix
