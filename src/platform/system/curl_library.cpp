#include "platform/system/curl_library.h"

#include "platform/system/loaded_library.h"

namespace tavix {
namespace {

const CurlLibrary* load() {
    // The soname the headers were written for: another ABI would not be libcurl.so.4.
    void* library = loadLibrary("libcurl.so.4");
    if (library == nullptr) return nullptr;
    static CurlLibrary curl;
    const bool complete =
        resolve(library, "curl_global_init", curl.globalInit) && resolve(library, "curl_easy_init", curl.easyInit) &&
        resolve(library, "curl_easy_cleanup", curl.easyCleanup) &&
        resolve(library, "curl_easy_setopt", curl.easySetopt) &&
        resolve(library, "curl_easy_perform", curl.easyPerform) &&
        resolve(library, "curl_easy_getinfo", curl.easyGetinfo) &&
        resolve(library, "curl_easy_strerror", curl.easyStrerror) &&
        resolve(library, "curl_slist_append", curl.slistAppend) &&
        resolve(library, "curl_slist_free_all", curl.slistFreeAll) && resolve(library, "curl_url", curl.url) &&
        resolve(library, "curl_url_set", curl.urlSet) && resolve(library, "curl_url_get", curl.urlGet) &&
        resolve(library, "curl_url_cleanup", curl.urlCleanup) && resolve(library, "curl_free", curl.free);
    if (!complete || curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
    return &curl;
}

}  // namespace

const CurlLibrary* curlLibrary() {
    static const CurlLibrary* const loaded = load();
    return loaded;
}

}  // namespace tavix
