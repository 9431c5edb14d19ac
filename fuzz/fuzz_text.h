#pragma once

#include <utf8proc.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string_view>

#include "fuzz_check.h"

namespace tavix::fuzz {

// UTF-8 as utf8proc itself decodes it, code point by code point.
inline bool utf8procValid(std::string_view text) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    for (utf8proc_ssize_t at = 0; at < size;) {
        utf8proc_int32_t codePoint = 0;
        const auto used = utf8proc_iterate(bytes + at, size - at, &codePoint);
        if (used <= 0) return false;
        at += used;
    }
    return true;
}

// User-perceived characters of valid UTF-8 as utf8proc's own boundary marking counts them.
inline std::size_t characters(std::string_view text) {
    utf8proc_uint8_t* marked = nullptr;
    const auto length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                     static_cast<utf8proc_ssize_t>(text.size()), &marked, UTF8PROC_CHARBOUND);
    FUZZ_CHECK(length >= 0);
    const auto count =
        static_cast<std::size_t>(std::count(marked, marked + length, static_cast<utf8proc_uint8_t>(0xFF)));
    std::free(marked);
    return count;
}

// Valid UTF-8 with nothing a terminal or a layout would act on: no control character (but tab and line feed where
// the text may hold lines), no line or paragraph separator and none of the bidi controls Unicode lists.
inline bool inert(std::string_view text, bool oneLine) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    for (utf8proc_ssize_t at = 0; at < size;) {
        utf8proc_int32_t c = 0;
        const auto used = utf8proc_iterate(bytes + at, size - at, &c);
        if (used <= 0) return false;
        at += used;
        if (!oneLine && (c == '\t' || c == '\n')) continue;
        if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029) return false;
        if (c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069)) {
            return false;
        }
    }
    return true;
}

}  // namespace tavix::fuzz
