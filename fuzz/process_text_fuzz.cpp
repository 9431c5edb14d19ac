// A child's output as reported: shaped whole, and collected as it arrives in pieces of any size.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control/process_text.h"
#include "fuzz_check.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    FuzzedDataProvider provider(data, size);
    // Long outputs are made by repeating the input, so that the character cut and the kept-bytes cap are reached
    // from small inputs.
    const auto repeat = provider.ConsumeBool() ? provider.ConsumeIntegralInRange<std::size_t>(1, 600) : 1;
    std::vector<std::size_t> pieces(provider.ConsumeIntegralInRange<std::size_t>(1, 8));
    for (auto& piece : pieces) {
        piece = provider.ConsumeBool() ? provider.ConsumeIntegralInRange<std::size_t>(1, 16)
                                       : provider.ConsumeIntegralInRange<std::size_t>(1, 1 << 17);
    }
    const std::string unit = provider.ConsumeRandomLengthString(4096);
    const std::string tail = provider.ConsumeRemainingBytesAsString();
    std::string output;
    output.reserve(unit.size() * repeat + tail.size());
    for (std::size_t i = 0; i < repeat; ++i) output += unit;
    output += tail;

    const std::string whole = shapeOutput(output);
    const bool valid = fuzz::utf8procValid(output);
    if (!valid) FUZZ_CHECK(whole.empty());
    FUZZ_CHECK(output.compare(0, whole.size(), whole) == 0);
    if (valid) {
        const std::size_t all = fuzz::characters(output);
        const std::size_t kept = fuzz::characters(whole);
        FUZZ_CHECK(kept == std::min(all, kOutputCharacters));
        if (all <= kOutputCharacters) FUZZ_CHECK(whole == output);
    }

    OutputCollector collector;
    for (std::size_t at = 0, i = 0; at < output.size(); at += pieces[i++ % pieces.size()]) {
        collector.feed(std::string_view(output).substr(at, pieces[i % pieces.size()]));
    }
    const std::string streamed = collector.text();
    if (streamed != whole) {
        // Only past the cap on kept bytes, where the cut may end inside a character but never past one.
        FUZZ_CHECK(output.size() > OutputCollector::kKeepLimit);
        FUZZ_CHECK(!streamed.empty() && whole.compare(0, streamed.size(), streamed) == 0);
        FUZZ_CHECK(streamed.size() + 4 > OutputCollector::kKeepLimit);
        FUZZ_CHECK(fuzz::utf8procValid(streamed));
    }
    return 0;
}
