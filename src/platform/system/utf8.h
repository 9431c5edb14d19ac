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

// Outside text made safe to show on a terminal or in a panel: control characters (C0 but tab and line feed, DEL,
// C1), bidi controls, line and paragraph separators and bytes that are not UTF-8 are written out visibly ("\x1b",
// "\u202e") instead of acting on the display. Text meant for one line (`oneLine`) shows tab, line feed and carriage
// return that way too ("\t", "\n", "\r"). What it returns passes through unchanged a second time.
std::string displayable(std::string_view text, bool oneLine);

// The length of `bytes` without a UTF-8 sequence at its end that more bytes could still complete: where text that
// arrives in pieces can be cut before it is shown.
std::size_t completeLength(std::string_view bytes);

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
