#pragma once

#include <cstddef>
#include <string_view>

#include "state/status.h"

namespace tavix {

// Texts up to this size are read whole into a document; larger ones without (simdjson's document takes some fifteen
// times the text's size, and its parser keeps that room for the next reading).
inline constexpr std::size_t kMaxDocumentBytes = 64 * 1024;

// Deeper nesting is read by neither reader: simdjson stops at this depth.
inline constexpr std::size_t kMaxStatusDepth = 1024;

// The streaming reader, for a text of any size (without a byte-order mark).
Status streamStatus(std::string_view text);

// The readers for a text of at most kMaxDocumentBytes, and for a larger one, the same reading as streamStatus(); the
// large one may read up to `capacity` bytes from text.data() (padding). Each program links one of two pairs:
// simdjson's (status_simdjson.cpp), for the tray, which reads status.json at every change for as long as it runs;
// or the streaming reader itself (status_streamed.cpp), for the command line, which reads it once and starts faster
// without another C++ library to load.
Status parseSmallStatus(std::string_view text);
Status parseLargeStatus(std::string_view text, std::size_t capacity);

}  // namespace tavix
