#include <gtest/gtest.h>

#include "platform/system/files.h"
#include "state/config.h"
#include "state/state_directory.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;

TEST(ConfigFormat, KeyValueLinesReadAsWrittenAndWrittenAsThreeLines) {
    const std::pair<std::string, Config> cases[] = {
        {"SERVER=https://a.example/\nNODE=/n\n\nADB=/a\n",
         {{"SERVER", "https://a.example/"}, {"NODE", "/n"}, {"ADB", "/a"}}},
        {"SERVER=https://x?a=b=c\n", {{"SERVER", "https://x?a=b=c"}}},
        {" SERVER = https://x\n", {{" SERVER ", " https://x"}}},  // nothing trimmed
        {"SERVER=\n", {{"SERVER", ""}}},
        {"SERVER=https://one\nSERVER=https://two\n", {{"SERVER", "https://two"}}},
        {"ADB\nNODE=x", {{"NODE", "x"}}},
        {"=value\n", {{"", "value"}}},
        {"#SERVER=x\n", {{"#SERVER", "x"}}},
        {"server=x\nSERVER=y\n", {{"server", "x"}, {"SERVER", "y"}}},
        {"SERVER=https://x\r\nNODE=n\r\r\n",
         {{"SERVER", "https://x"}, {"NODE", "n\r"}}},  // one carriage return dropped
        {"SERVER=https://x\nNODE=\xff\xfe\n", {}},     // not UTF-8
        {"", {}},
    };
    for (const auto& [text, config] : cases) EXPECT_EQ(parseConfig(text), config) << testing::PrintToString(text);
    EXPECT_EQ(formatConfig("https://h:8443", "/usr/bin/node", ""), "SERVER=https://h:8443\nNODE=/usr/bin/node\nADB=\n");
}

TEST(ConfigFormat, TheServerComesFromAReadableConfigElseTheDefault) {
    test::TempDir dir;
    test::ScopedEnv home("TAVIX_HOME", dir.path().string());
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, "https://tavix.app"},
        {"SERVER=https://a.example/\n", "https://a.example/"},
        {" SERVER = https://a.example\n", "https://tavix.app"},
        {"SERVER=\n", ""},
        {"SERVER=https://big\n" + std::string(kMaxStateFileBytes, '#'), "https://tavix.app"},
    };
    for (const auto& [file, server] : cases) {
        fs::remove(dir / "config");
        if (file) test::writeFile(dir / "config", *file);
        EXPECT_EQ(StateDirectory(dir.path()).server(), server) << file.value_or("(none)").substr(0, 40);
    }
    fs::remove(dir / "config");
    fs::create_directory(dir / "config");
    EXPECT_TRUE(StateDirectory(dir.path()).config().empty());
}

}  // namespace
}  // namespace tavix
