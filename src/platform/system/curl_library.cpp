#include "platform/system/curl_library.h"

#include <dlfcn.h>

namespace tavix {
namespace {

template <typename Function>
bool resolve(void* library, const char* name, Function& function) {
    // dlsym hands back an object pointer; POSIX guarantees it converts to the function's type.
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

const CurlLibrary* load() {
    // The soname the headers were written for: another ABI would not be libcurl.so.4.
    void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
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
