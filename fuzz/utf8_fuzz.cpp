// The UTF-8 helpers: validation whole and in pieces, and the character count and cut.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_text.h"
#include "platform/system/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    FuzzedDataProvider provider(data, size);
    const auto piece = provider.ConsumeIntegralInRange<std::size_t>(1, 9);
    const auto count = provider.ConsumeIntegralInRange<std::size_t>(0, 40);
    const std::string text = provider.ConsumeRemainingBytesAsString();

    const bool valid = isValidUtf8(text);
    FUZZ_CHECK(valid == fuzz::utf8procValid(text));

    // Shown safely: nothing left to act on a display, and the same a second time.
    for (const bool oneLine : {false, true}) {
        const std::string shown = displayable(text, oneLine);
        FUZZ_CHECK(fuzz::inert(shown, oneLine));
        FUZZ_CHECK(displayable(shown, oneLine) == shown);
    }
    // Cut where a piece ends, the text shows as it does whole.
    const std::size_t whole = completeLength(text.substr(0, text.size() / 2));
    FUZZ_CHECK(displayable(text.substr(0, whole), false) + displayable(text.substr(whole), false) ==
                   displayable(text, false) ||
               !valid);

    // In pieces of one size, and in pieces that grow, the verdict is the same.
    Utf8Validator even;
    for (std::size_t at = 0; at < text.size(); at += piece) even.feed(std::string_view(text).substr(at, piece));
    FUZZ_CHECK(even.valid() == valid);
    Utf8Validator growing;
    for (std::size_t at = 0, step = 1; at < text.size(); at += step, ++step) {
        growing.feed(std::string_view(text).substr(at, step));
        growing.feed({});
    }
    FUZZ_CHECK(growing.valid() == valid);
    if (!valid) return 0;

    const std::size_t all = graphemeCount(text);
    FUZZ_CHECK(all == fuzz::characters(text));
    const std::string_view cut = graphemePrefix(text, count);
    FUZZ_CHECK(text.substr(0, cut.size()) == cut && isValidUtf8(cut));
    FUZZ_CHECK(graphemeCount(cut) == std::min(count, all));
    FUZZ_CHECK(fuzz::characters(cut) == std::min(count, all));
    // The cut takes whole characters: one more character makes it no shorter, and the rest starts a new one.
    if (count < all) {
        FUZZ_CHECK(graphemePrefix(text, count + 1).size() > cut.size());
        FUZZ_CHECK(graphemeCount(text.substr(cut.size())) == all - count);
    }
    // The cut for display: the same, but short of any character past 31 code points.
    const std::string_view shown = displayPrefix(text, count);
    const auto codePoints = [](std::string_view t) {
        return std::count_if(t.begin(), t.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    };
    FUZZ_CHECK(cut.substr(0, shown.size()) == shown && isValidUtf8(shown));
    FUZZ_CHECK(static_cast<std::size_t>(codePoints(shown)) <= count * kMaxCharacterCodePoints);
    if (static_cast<std::size_t>(codePoints(cut)) <= kMaxCharacterCodePoints) FUZZ_CHECK(shown == cut);
    return 0;
}
