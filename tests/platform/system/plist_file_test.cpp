#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/agent_list.h"
#include "platform/system/plist_file.h"
#include "platform/system/whole_file.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using namespace std::string_literals;
using test::agentList;
using test::dictionary;
using test::listBytes;

const std::string kNotAList = "“app.tavix.link.plist” is not a property list.";
const std::string kNoDictionary = "“app.tavix.link.plist” does not hold a dictionary at its top level.";
const std::string kCannotCarry = "“app.tavix.link.plist” holds text that a property list file cannot carry.";

// The edited list, or the error's description.
std::string edited(std::string_view bytes) {
    auto result = setPlistBooleans(bytes, {{"RunAtLoad", false}, {"KeepAlive", false}}, "app.tavix.link.plist");
    if (const auto* error = std::get_if<Error>(&result)) return error->description;
    return std::get<std::string>(result);
}

std::string reference(std::size_t index) {
    return {static_cast<char>(index >> 8), static_cast<char>(index & 0xFF)};
}

// A binary list put together by hand, for shapes libplist does not write itself: object 0 is the top level,
// references are two bytes wide and offsets four.
std::string binaryList(const std::vector<std::string>& objects) {
    std::string list = "bplist00";
    std::string table;
    auto bigEndian = [](std::string& out, std::uint64_t value, int bytes) {
        for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
    };
    for (const auto& object : objects) {
        bigEndian(table, list.size(), 4);
        list += object;
    }
    const auto tableAt = list.size();
    list += table + std::string(6, '\0') + "\x04\x02";
    bigEndian(list, objects.size(), 8);
    bigEndian(list, 0, 8);
    bigEndian(list, tableAt, 8);
    return list;
}

// {"a": object 2}, then `objects` from 2 on.
std::string underKeyA(std::vector<std::string> objects) {
    objects.insert(objects.begin(), {"\xD1" + reference(1) + reference(2), "\x51"s + "a"});
    return binaryList(objects);
}

TEST(PlistBooleans, SetsTheKeysKeepingEveryOtherInXmlOrRefuses) {
    auto holding = [](const char* key, const char* text, bool binary = false) {
        return listBytes(dictionary({{key, plist_new_string(text)}}), binary);
    };
    auto switchedOff = [](const char* label) {
        return listBytes(dictionary(
            {{"Label", plist_new_string(label)}, {"RunAtLoad", plist_new_bool(0)}, {"KeepAlive", plist_new_bool(0)}}));
    };
    const char* text = "a\tb\nc\rd café … <&> \"'";  // what an XML file can carry
    struct Case {
        std::string bytes;
        std::string expected;
    } cases[] = {
        {agentList("app.tavix.link", {}, true), agentList("app.tavix.link", false)},
        {agentList("app.tavix.link"), agentList("app.tavix.link", false)},
        {holding("Label", text, true), switchedOff(text)},
        // {"RunAtLoad": true, "Label": "app.tavix.link", "RunAtLoad": true}, as a damaged binary list can hold it.
        {binaryList({"\xD3" + reference(1) + reference(3) + reference(1) + reference(2) + reference(4) + reference(2),
                     "\x59"s + "RunAtLoad", "\x09", "\x55"s + "Label", "\x5E"s + "app.tavix.link"}),
         switchedOff("app.tavix.link")},
        {"", kNotAList},
        {"RunAtLoad=true\n", kNotAList},
        {"bplist00", kNotAList},
        {"<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>RunAtLoad</key>", kNotAList},
        {listBytes(plist_new_array()), kNoDictionary},
        {listBytes(plist_new_array(), true), kNoDictionary},
        {listBytes(plist_new_string("just text")), kNoDictionary},
        // libplist writes such bytes into XML as they are, and reads them back.
        {holding("Label", "app\x01tavix"), kCannotCarry},
        {holding("Label", "\x1B[0m"), kCannotCarry},
        {holding("Label", "caf\xE9"), kCannotCarry},
        {holding("Label", "\xEF\xBF\xBE"), kCannotCarry},
        {holding("Progr\xC7m", "x"), kCannotCarry},
        {holding("Env\x02", "x"), kCannotCarry},
        // The binary form carries what no XML file can: a byte string that is not UTF-8, and U+0000 in UTF-16.
        {underKeyA({"\x54"s + "caf\xE9"}), kCannotCarry},
        {underKeyA({"\x62\0a\0\0"s}), kCannotCarry},
    };
    for (const auto& c : cases) EXPECT_EQ(edited(c.bytes), c.expected) << testing::PrintToString(c.bytes);
}

TEST(PlistBooleans, SurvivesListsThatOverwhelmTheReader) {
    std::string deepXml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>";
    for (int i = 0; i < 200'000; ++i) deepXml += "<array>";
    for (int i = 0; i < 200'000; ++i) deepXml += "</array>";
    deepXml += "</dict></plist>";
    std::vector<std::string> deep;
    for (std::size_t i = 0; i < 300'000; ++i) deep.push_back(i + 1 < 300'000 ? "\xA1" + reference(3 + i) : "\xA0");
    // Forty arrays, each holding the next one twice: 2^40 arrays once every use is copied out.
    std::vector<std::string> shared;
    for (std::size_t i = 0; i < 40; ++i) {
        shared.push_back(i + 1 < 40 ? "\xA2" + reference(3 + i) + reference(3 + i) : "\xA0");
    }
    test::TempDir dir;
    for (const std::string& bytes : {deepXml, underKeyA(deep), underKeyA(shared)}) {
        ASSERT_LT(bytes.size(), 4u * 1024 * 1024);
        const auto path = dir / "app.tavix.link.plist";
        test::writeFile(path, bytes);
        auto error = updatePropertyListFile(path, {{"RunAtLoad", false}, {"KeepAlive", false}});
        ASSERT_TRUE(error.has_value());
        // Too deep or too large, or, when libplist runs into the memory limit, not a list it could read.
        EXPECT_TRUE(error->code == 4 || error->code == 1) << error->description;
        EXPECT_EQ(error->description.rfind("“app.tavix.link.plist” ", 0), 0u) << error->description;
        EXPECT_EQ(test::readAll(path), bytes);
    }
}

TEST(WholeFile, ReplacesInOneStepKeepingModeAndLinksElseLeavesNothingBehind) {
    test::TempDir dir;
    for (unsigned mode : {0644u, 0600u, 0444u}) {
        test::writeFile(dir / "agent.plist", "old and longer content", mode);
        ASSERT_EQ(replaceWholeFile(dir / "agent.plist", "new"), std::nullopt) << std::oct << mode;
        EXPECT_EQ(test::readAll(dir / "agent.plist"), "new");
        EXPECT_EQ(test::modeOf(dir / "agent.plist"), mode);
    }
    std::filesystem::create_symlink(dir / "agent.plist", dir / "link.plist");
    ASSERT_EQ(replaceWholeFile(dir / "link.plist", "through the link"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.plist"));
    EXPECT_EQ(test::readAll(dir / "agent.plist"), "through the link");
    std::filesystem::create_directory(dir / "folder.plist");
    EXPECT_EQ(replaceWholeFile(dir / "folder.plist", "data").value_or(Error{}).description,
              "Could not save “folder.plist”: Is a directory");
    EXPECT_EQ(test::countEntries(dir.path(), "."), 0);
    auto big = readWholeFile(dir / "agent.plist", 10);
    EXPECT_EQ(std::get<Error>(big).description, "Could not read “agent.plist”: File too large");
}

}  // namespace
}  // namespace tavix
