#pragma once

#include <cstddef>
#include <string_view>

#include "state/status.h"

namespace tavix {

// Texts up to this size are read whole into a document; larger ones by the streaming reader, whose memory does not
// grow with the text (simdjson's document takes some ten times the text's size, and its parser keeps that room for
// the next reading).
inline constexpr std::size_t kMaxDocumentBytes = 64 * 1024;

// Deeper nesting is read by neither reader: simdjson stops at this depth.
inline constexpr std::size_t kMaxStatusDepth = 1024;

// The streaming reader, for a text of any size (without a byte-order mark).
Status streamStatus(std::string_view text);

// The reader for a text of at most kMaxDocumentBytes, the same reading as streamStatus(). Each program links one of
// two: simdjson's (status_simdjson.cpp), for the tray, which reads status.json every few seconds for as long as it
// runs; or the streaming reader itself (status_streamed.cpp), for the command line, which reads it once and starts
// faster without another C++ library to load.
Status parseSmallStatus(std::string_view text);

}  // namespace tavix
