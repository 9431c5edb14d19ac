#pragma once

#include <curl/curl.h>

namespace tavix {

// libcurl's functions, from the library loaded on first use. libcurl brings two TLS stacks, Kerberos, LDAP and
// more (some 5 MB resident and many relocations at start); a tray that never pairs never needs any of it.
struct CurlLibrary {
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_strerror) easyStrerror = nullptr;
    decltype(&curl_slist_append) slistAppend = nullptr;
    decltype(&curl_slist_free_all) slistFreeAll = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_set) urlSet = nullptr;
    decltype(&curl_url_get) urlGet = nullptr;
    decltype(&curl_url_cleanup) urlCleanup = nullptr;
    decltype(&curl_free) free = nullptr;
};

// Loads libcurl and runs its global set-up, once per process (any thread; libcurl is never unloaded). Nothing
// when the library or one of its functions is missing.
const CurlLibrary* curlLibrary();

}  // namespace tavix
