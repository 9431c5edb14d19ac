#include "pairing/setup_download.h"

#include <optional>
#include <string>

#include "platform/url.h"

namespace tavix {
namespace {

std::optional<std::string> hostOf(std::string_view url) {
    auto parts = parseUrl(url);
    return parts ? parts->host : std::nullopt;
}

}  // namespace

bool acceptSetupDownload(const HttpResponse& response, std::string_view base) {
    if (response.transportError || response.status != 200) return false;
    if (hostOf(response.finalUrl) != hostOf(base)) return false;
    if (!response.body || response.body->empty()) return false;
    return !response.bodyCut && response.body->size() < kSetupScriptLimit;
}

bool runsFromMountedVolume(const std::filesystem::path& appPath) {
    const std::string path = appPath.string();
    for (std::string_view prefix : {"/Volumes/", "/media/", "/run/media/"}) {
        if (path.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

}  // namespace tavix
