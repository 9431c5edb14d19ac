#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/utf8.h"

namespace tavix {

// User-perceived characters (extended grapheme clusters) a child's output is cut to.
inline constexpr std::size_t kOutputCharacters = 1800;

// What goes to a child's standard input: nothing without `input`, else the line and a line feed.
std::string inputBytes(const std::optional<std::string>& input);

// A command as a message names it: the program's file name and its arguments, in quotes.
std::string quotedCommand(const std::string& executable, const std::vector<std::string>& arguments);

// The output of a run ended at its time limit that printed nothing: which command did not finish in how long.
std::string unfinishedText(const std::string& command, double seconds);

// A run's output for a message, never empty: the output, or, when it printed nothing, how the command ended.
std::string outputOrStatus(const std::string& output, const std::string& command, std::int32_t status);

// A child's whole output as reported: empty unless it is valid UTF-8, else its first kOutputCharacters
// user-perceived characters, untrimmed.
std::string shapeOutput(std::string_view bytes);

// shapeOutput() over output that arrives in pieces, in bounded memory: every byte is checked, but only as much
// is kept as the cut can still need.
class OutputCollector {
  public:
    // The most bytes kept while the cut is not yet certain. Text in the stream-safe form (at most 30 combining
    // marks after a base) needs at most 1800 × 31 × 4 bytes, well under this; text with endless combining
    // marks is cut at this size, at a code point boundary, and may end inside a character.
    static constexpr std::size_t kKeepLimit = 256 * 1024;

    void feed(std::string_view bytes);
    std::string text() const;

  private:
    void settle();

    Utf8Validator validator_;
    std::string kept_;
    std::size_t nextCheck_ = kOutputCharacters + 1;  // fewer bytes cannot hold more characters
    bool settled_ = false;
};

}  // namespace tavix
