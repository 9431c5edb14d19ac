#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "agent_list.h"
#include "platform/plist_file.h"
#include "platform/whole_file.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using test::AgentList;

std::string edited(std::string_view bytes, const PlistBooleans& values) {
    auto result = setPlistBooleans(bytes, values, "app.tavix.link.plist");
    if (auto* error = std::get_if<Error>(&result)) {
        ADD_FAILURE() << error->description;
        return {};
    }
    return std::get<std::string>(result);
}

TEST(PlistBooleans, SetsTheKeysKeepsEverythingElseAndWritesXml) {
    for (bool binary : {false, true}) {
        for (bool value : {false, true}) {
            SCOPED_TRACE(testing::Message() << "binary " << binary << ", value " << value);
            const auto original = AgentList::typical("app.tavix.link", /*withKeepAlive=*/true);
            const auto out = edited(original.bytes(binary), {{"RunAtLoad", value}, {"KeepAlive", value}});
            EXPECT_EQ(out.rfind("<?xml", 0), 0u) << out;
            auto list = AgentList::parse(out);
            ASSERT_TRUE(list.has_value());
            EXPECT_EQ(list->boolean("RunAtLoad"), value);
            EXPECT_EQ(list->boolean("KeepAlive"), value);  // the KeepAlive dictionary becomes a plain Boolean
            EXPECT_EQ(list->size(), original.size());
            for (const char* key : {"Label", "ProgramArguments", "EnvironmentVariables", "ThrottleInterval", "Blob"}) {
                EXPECT_EQ(list->subtree(key), original.subtree(key)) << key;
            }
        }
    }
}

TEST(PlistBooleans, AddsMissingKeysOnly) {
    const auto original = AgentList::typical("app.tavix.menu", /*withKeepAlive=*/false);
    auto list = AgentList::parse(edited(original.xml(), {{"RunAtLoad", false}}));
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->boolean("RunAtLoad"), false);
    EXPECT_FALSE(list->has("KeepAlive"));

    auto empty = AgentList::parse(edited(AgentList(plist_new_dict()).binary(), {{"KeepAlive", true}}));
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->size(), 1u);
    EXPECT_EQ(empty->boolean("KeepAlive"), true);
}

TEST(PlistBooleans, RefusesWhatIsNotADictionaryList) {
    plist_t array = plist_new_array();
    plist_array_append_item(array, plist_new_string("RunAtLoad"));
    const AgentList arrayList(array);
    const AgentList stringList(plist_new_string("just text"));
    struct Case {
        const char* what;
        std::string bytes;
        int code;
    } cases[] = {
        {"empty", "", 1},
        {"plain text", "RunAtLoad=true\n", 1},
        {"binary header only", "bplist00", 1},
        {"broken XML", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>RunAtLoad</key>", 1},
        {"XML array", arrayList.xml(), 2},
        {"binary array", arrayList.binary(), 2},
        {"XML string", stringList.xml(), 2},
    };
    for (const auto& c : cases) {
        auto result = setPlistBooleans(c.bytes, {{"RunAtLoad", true}}, "app.tavix.menu.plist");
        const auto* error = std::get_if<Error>(&result);
        ASSERT_NE(error, nullptr) << c.what;
        EXPECT_EQ(error->domain, kPropertyListDomain) << c.what;
        EXPECT_EQ(error->code, c.code) << c.what;
        EXPECT_NE(error->description.find("“app.tavix.menu.plist”"), std::string::npos) << error->description;
    }
}

// A binary list put together by hand, for shapes libplist does not write itself: object 0 is the top level,
// references and offsets are two and four bytes wide.
std::string binaryList(const std::vector<std::string>& objects) {
    std::string list = "bplist00";
    std::vector<std::uint32_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(static_cast<std::uint32_t>(list.size()));
        list += object;
    }
    const auto tableAt = static_cast<std::uint64_t>(list.size());
    auto bigEndian = [&](std::uint64_t value, int bytes) {
        for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) list += static_cast<char>((value >> shift) & 0xFF);
    };
    for (auto offset : offsets) bigEndian(offset, 4);
    list += std::string(6, '\0');
    list += '\x04';
    list += '\x02';
    bigEndian(objects.size(), 8);
    bigEndian(0, 8);
    bigEndian(tableAt, 8);
    return list;
}

std::string reference(std::size_t index) {
    return {static_cast<char>(index >> 8), static_cast<char>(index & 0xFF)};
}

// {"a": object 2}, then the objects from 2 on.
std::vector<std::string> underKeyA(std::size_t count) {
    std::vector<std::string> objects = {"\xD1" + reference(1) + reference(2),
                                        "\x51"
                                        "a"};
    objects.reserve(count + 2);
    return objects;
}

TEST(PlistBooleans, RefusesTextThatAnXmlFileCannotCarry) {
    auto refused = [](const std::string& bytes) {
        auto result = setPlistBooleans(bytes, {{"RunAtLoad", true}}, "app.tavix.link.plist");
        const auto* error = std::get_if<Error>(&result);
        return error != nullptr && error->code == 3 &&
               error->description == "“app.tavix.link.plist” holds text that a property list file cannot carry.";
    };
    struct Case {
        const char* what;
        const char* key;
        std::string text;
        bool refused;
    } cases[] = {
        {"a control character", "Label", "app\x01tavix", true},
        {"an escape character", "Label", "\x1B[0m", true},
        {"a byte that is not UTF-8", "Label", "caf\xE9", true},
        {"U+FFFE", "Label", "\xEF\xBF\xBE", true},
        {"a key that is not UTF-8", "Progr\xC7m", "x", true},
        {"a key with a control character", "Env\x02", "x", true},
        {"tabs and line ends", "Label", "a\tb\nc\rd", false},
        {"accents, symbols and markup", "Label", "café … <&> \"'", false},
    };
    for (const auto& c : cases) {
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, c.key, plist_new_string(c.text.c_str()));
        const AgentList list(dict);
        // libplist writes such bytes into XML unchanged, and reads them back.
        EXPECT_EQ(refused(list.xml()), c.refused) << c.what;
        if (c.refused) continue;
        auto result = setPlistBooleans(list.binary(), {{"RunAtLoad", true}}, "app.tavix.link.plist");
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.what;
        auto reread = AgentList::parse(std::get<std::string>(result));
        ASSERT_TRUE(reread.has_value()) << c.what;
        EXPECT_EQ(reread->subtree(c.key), list.subtree(c.key)) << c.what;
    }
    // The binary form carries what no XML file can: a byte string that is not UTF-8, and U+0000 in UTF-16.
    auto latin1 = underKeyA(1);
    latin1.push_back(
        "\x54"
        "caf\xE9");
    auto nul = underKeyA(1);
    nul.push_back(std::string("\x62\0a\0\0", 5));
    EXPECT_TRUE(refused(binaryList(latin1)));
    EXPECT_TRUE(refused(binaryList(nul)));
}

TEST(PlistBooleans, ADamagedListNamingAKeyTwiceEndsWithOneCopy) {
    // {"RunAtLoad": true, "Label": "app.tavix.link", "RunAtLoad": true}, as a damaged binary list can hold it.
    const std::vector<std::string> objects = {
        "\xD3" + reference(1) + reference(3) + reference(1) + reference(2) + reference(4) + reference(2),
        "\x59"
        "RunAtLoad",
        "\x09",
        "\x55"
        "Label",
        "\x5E"
        "app.tavix.link"};
    for (bool value : {false, true}) {
        const std::string out = edited(binaryList(objects), {{"RunAtLoad", value}});
        std::size_t copies = 0;
        for (auto at = out.find("<key>RunAtLoad</key>"); at != std::string::npos;
             at = out.find("<key>RunAtLoad</key>", at + 1)) {
            ++copies;
        }
        EXPECT_EQ(copies, 1u) << out;
        auto list = AgentList::parse(out);
        ASSERT_TRUE(list.has_value());
        EXPECT_EQ(list->boolean("RunAtLoad"), value);
        EXPECT_EQ(list->subtree("Label"), AgentList(plist_new_string("app.tavix.link")).xml());
    }
}

TEST(PlistBooleans, SurvivesListsThatOverwhelmTheReader) {
    std::string deepXml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>";
    for (int i = 0; i < 200'000; ++i) deepXml += "<array>";
    for (int i = 0; i < 200'000; ++i) deepXml += "</array>";
    deepXml += "</dict></plist>";

    constexpr std::size_t kDepth = 300'000;
    auto deep = underKeyA(kDepth);
    for (std::size_t i = 0; i < kDepth; ++i) deep.push_back(i + 1 < kDepth ? "\xA1" + reference(3 + i) : "\xA0");

    // Forty arrays, each holding the next one twice: 2^40 arrays once every use is copied out.
    auto shared = underKeyA(40);
    for (std::size_t i = 0; i < 40; ++i) {
        shared.push_back(i + 1 < 40 ? "\xA2" + reference(3 + i) + reference(3 + i) : "\xA0");
    }

    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"XML nested 200 000 deep", deepXml},
        {"binary nested 300 000 deep", binaryList(deep)},
        {"binary with shared arrays", binaryList(shared)},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        ASSERT_LT(c.bytes.size(), 4u * 1024 * 1024) << c.what;
        const auto path = dir / "app.tavix.link.plist";
        test::writeFile(path, c.bytes);
        auto error = updatePropertyListFile(path, {{"RunAtLoad", false}, {"KeepAlive", false}});
        ASSERT_TRUE(error.has_value()) << c.what;
        // Too deep or too large, or, when libplist runs into the memory limit, not a list it could read.
        EXPECT_TRUE(error->code == 4 || error->code == 1) << c.what << ": " << error->description;
        EXPECT_EQ(error->description.rfind("“app.tavix.link.plist” ", 0), 0u) << error->description;
        EXPECT_EQ(test::readAll(path), c.bytes) << c.what;
    }
}

TEST(WholeFile, ReplacesInOneStepKeepingThePermissions) {
    test::TempDir dir;
    for (unsigned mode : {0644u, 0600u, 0444u}) {
        const auto path = dir / "agent.plist";
        test::writeFile(path, "old and longer content", mode);
        ASSERT_EQ(replaceWholeFile(path, "new"), std::nullopt) << std::oct << mode;
        EXPECT_EQ(test::readAll(path), "new");
        EXPECT_EQ(test::modeOf(path), mode);
        EXPECT_EQ(test::countEntries(dir.path(), "."), 0);
    }
}

TEST(WholeFile, WritesThroughALinkToItsTarget) {
    test::TempDir dir;
    test::writeFile(dir / "dotfiles" / "agent.plist", "old");
    std::filesystem::create_directories(dir / "LaunchAgents");
    std::filesystem::create_symlink(dir / "dotfiles" / "agent.plist", dir / "LaunchAgents" / "agent.plist");
    ASSERT_EQ(replaceWholeFile(dir / "LaunchAgents" / "agent.plist", "new"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "LaunchAgents" / "agent.plist"));
    EXPECT_EQ(test::readAll(dir / "dotfiles" / "agent.plist"), "new");
}

TEST(WholeFile, FailuresNameTheFileAndLeaveNothingBehind) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder.plist");

    auto missing = readWholeFile(dir / "missing.plist", 1000);
    ASSERT_TRUE(std::holds_alternative<Error>(missing));
    EXPECT_EQ(std::get<Error>(missing).description, "Could not read “missing.plist”: No such file or directory");

    auto folder = readWholeFile(dir / "folder.plist", 1000);
    ASSERT_TRUE(std::holds_alternative<Error>(folder));
    EXPECT_EQ(std::get<Error>(folder).code, EISDIR);

    test::writeFile(dir / "big.plist", std::string(1001, 'x'));
    auto big = readWholeFile(dir / "big.plist", 1000);
    ASSERT_TRUE(std::holds_alternative<Error>(big));
    EXPECT_EQ(std::get<Error>(big).code, EFBIG);

    auto error = replaceWholeFile(dir / "folder.plist", "data");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->description.rfind("Could not save “folder.plist”: ", 0), 0u) << error->description;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.plist"));
    EXPECT_EQ(test::countEntries(dir.path(), "."), 0);

    auto noFolder = replaceWholeFile(dir / "gone" / "agent.plist", "data");
    ASSERT_TRUE(noFolder.has_value());
    EXPECT_EQ(noFolder->code, ENOENT);
}

}  // namespace
}  // namespace tavix
