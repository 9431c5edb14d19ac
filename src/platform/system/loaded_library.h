#pragma once

#include <dlfcn.h>

namespace tavix {

// A library loaded on first use rather than at start: each one the dynamic loader maps at start costs every run of
// the program, and some are needed only now and then (libcurl to pair, libqrencode for a QR code, libplist for
// launchd's lists).

// Loads the library of this soname (never unloaded); nothing when it is missing.
inline void* loadLibrary(const char* soname) {
    return ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
}

// Sets `function` to the library's function of that name; false when it has none.
template <typename Function>
bool resolve(void* library, const char* name, Function& function) {
    // dlsym hands back an object pointer; POSIX guarantees it converts to the function's type.
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

}  // namespace tavix
