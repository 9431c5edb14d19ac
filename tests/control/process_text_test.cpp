#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/process_text.h"
#include "platform/system/utf8.h"

namespace tavix {
namespace {

const std::string kFlag = "\U0001F1E9\U0001F1EA";                          // two regional indicators
const std::string kAccented = "e\u0301";                                   // e and a combining accent
const std::string kFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // joined by ZWJ
const std::string kCharacters[] = {"x", "\u00E9", kFlag, kAccented, kFamily, "\n", "\u4E2D"};

// `count` user-perceived characters, cycling through kinds that take one to eighteen bytes.
std::string mixedText(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += kCharacters[i % std::size(kCharacters)];
    return text;
}

TEST(ShapeOutput, InvalidIsEmptyElseTheFirstCharactersUntrimmed) {
    const std::string cut = mixedText(1800);
    const std::string x1799(1799, 'x');
    struct Case {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"done\n", "done\n"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {cut, cut},
        {mixedText(2000), cut},
        {x1799 + kFlag + kFlag, x1799 + kFlag},
        {x1799 + kAccented + "y", x1799 + kAccented},
        {"ok\xFF", ""},
        {"\xC0\xAF", ""},      // overlong
        {"\xED\xA0\x80", ""},  // surrogate
        {"abc\xE2\x82", ""},
        {mixedText(2000) + "\xFE", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(shapeOutput(c.bytes), c.text) << testing::PrintToString(c.bytes);
}

TEST(ShapeOutput, ACommandThatSaidNothingIsNamedWithHowItEnded) {
    EXPECT_EQ(unfinishedText("“adb pair”", 1), "“adb pair” did not finish within 1 second and was stopped.");
    EXPECT_EQ(unfinishedText("“sh”", 420), "“sh” did not finish within 420 seconds and was stopped.");
    EXPECT_EQ(outputOrStatus("", "“adb”", 0), "“adb” printed nothing.");
    EXPECT_EQ(outputOrStatus("out", "“adb”", 3), "out");
}

TEST(OutputCollector, MatchesShapeOutputWhateverTheReadSizes) {
    const std::vector<std::string> outputs = {
        mixedText(5000),
        std::string(1799, 'x') + kFlag + kFlag + kFlag,
        std::string(1800, 'x') + "\u0301",  // the accent joins the last character
        mixedText(3000) + "\x80",
        "\xC3" + mixedText(10),
    };
    for (const auto& output : outputs) {
        for (std::size_t piece : {1u, 2u, 3u, 7u, 64u, 4096u, 1u << 20}) {
            OutputCollector collector;
            for (std::size_t at = 0; at < output.size(); at += piece) collector.feed(output.substr(at, piece));
            EXPECT_EQ(collector.text(), shapeOutput(output)) << output.size() << " bytes in pieces of " << piece;
        }
    }
}

TEST(OutputCollector, EndlessCombiningMarksAreCutAtACodePoint) {
    std::string output = "a";
    for (int i = 0; i < 200'000; ++i) output += "\u0301";
    OutputCollector collector;
    // U+0301 takes two bytes: odd pieces split one at every boundary.
    for (std::size_t at = 0; at < output.size(); at += 2001) collector.feed(std::string_view(output).substr(at, 2001));
    const std::string text = collector.text();
    EXPECT_TRUE(isValidUtf8(text));
    EXPECT_EQ(graphemeCount(text), 1u);
    EXPECT_LE(text.size(), OutputCollector::kKeepLimit);
    EXPECT_GE(text.size(), OutputCollector::kKeepLimit - 3);
}

}  // namespace
}  // namespace tavix
