#include <gtest/gtest.h>

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
