#include "platform/system/url.h"

#include <uriparser/Uri.h>

#include <utility>

namespace tavix {
namespace {

std::string_view range(const UriTextRangeA& part) {
    if (part.first == nullptr || part.afterLast == nullptr) return {};
    return std::string_view(part.first, static_cast<std::size_t>(part.afterLast - part.first));
}

bool present(const UriTextRangeA& part) {
    return part.first != nullptr;
}

}  // namespace

std::optional<UrlParts> parseUrl(std::string_view text) {
    UriUriA uri;
    const char* errorPos = nullptr;
    if (uriParseSingleUriExA(&uri, text.data(), text.data() + text.size(), &errorPos) != URI_SUCCESS) {
        return std::nullopt;
    }
    UrlParts parts;
    parts.scheme = std::string(range(uri.scheme));
    // uriparser keeps the brackets of an IP literal out of hostText.
    if (auto host = range(uri.hostText); !host.empty()) parts.host = std::string(host);
    if (present(uri.userInfo)) {
        auto userInfo = range(uri.userInfo);
        parts.hasUser = true;
        parts.hasPassword = userInfo.find(':') != std::string_view::npos;
    }
    parts.hasQuery = present(uri.query);
    parts.hasFragment = present(uri.fragment);
    uriFreeUriMembersA(&uri);
    return parts;
}

std::string hostOrWhole(const std::string& server) {
    // Asked at every refresh of the menu, nearly always for the same server.
    thread_local std::optional<std::pair<std::string, std::string>> last;
    if (last && last->first == server) return last->second;
    auto parts = parseUrl(server);
    std::string host = parts && parts->host ? *parts->host : server;
    last.emplace(server, host);
    return host;
}

}  // namespace tavix
