#include "pairing/setup_download.h"

#include <optional>
#include <string>

#include "platform/system/curl_http.h"

namespace tavix {
namespace {

// libcurl writes the final URL in its own form ("https://127.1" ends on "https://127.0.0.1"): both sides are read
// the way it reads them.
std::optional<std::string> hostOf(std::string_view url) {
    return normalisedHost(std::string(url));
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
