#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavix {

bool isValidUtf8(std::string_view text);

// Counts user-perceived characters (extended grapheme clusters) of valid UTF-8 text.
std::size_t graphemeCount(std::string_view text);

// The first `count` user-perceived characters of valid UTF-8 text (the whole text when it is shorter).
std::string_view graphemePrefix(std::string_view text, std::size_t count);

// Code points a character may hold in stream-safe text: a base and at most 30 combining marks.
inline constexpr std::size_t kMaxCharacterCodePoints = 31;

// graphemePrefix() for text to be drawn, which looks at no more than `count` × kMaxCharacterCodePoints code points:
// a character made of more (a base under endless combining marks) ends the prefix after that many.
std::string_view displayPrefix(std::string_view text, std::size_t count);

// Checks UTF-8 that arrives in pieces, keeping at most one incomplete sequence between pieces.
class Utf8Validator {
  public:
    void feed(std::string_view bytes);
    // True when everything fed so far is valid and no sequence was left unfinished.
    bool valid() const { return ok_ && pendingLength_ == 0; }

  private:
    bool ok_ = true;
    char pending_[4] = {};
    std::size_t pendingLength_ = 0;
};

}  // namespace tavix
