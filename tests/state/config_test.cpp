#include <gtest/gtest.h>

#include "state/config.h"
#include "state/state_directory.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

struct ConfigCase {
    const char* name;
    std::string text;
    Config expected;
};

void PrintTo(const ConfigCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigFormat : public testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigFormat, Parses) {
    EXPECT_EQ(parseConfig(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigFormat,
    testing::Values(ConfigCase{"FourLinesWithEmptyOne",
                               "SERVER=https://a.example/\nNODE=/n\n\nADB=/a\n",
                               {{"SERVER", "https://a.example/"}, {"NODE", "/n"}, {"ADB", "/a"}}},
                    ConfigCase{"ValueKeepsLaterEquals", "SERVER=https://x?a=b=c\n", {{"SERVER", "https://x?a=b=c"}}},
                    ConfigCase{"NothingTrimmed", " SERVER = https://x\n", {{" SERVER ", " https://x"}}},
                    ConfigCase{"EmptyValue", "SERVER=\n", {{"SERVER", ""}}},
                    ConfigCase{"LastWins", "SERVER=https://one\nSERVER=https://two\n", {{"SERVER", "https://two"}}},
                    ConfigCase{"LineWithoutEqualsIgnored", "ADB\nNODE=x", {{"NODE", "x"}}},
                    ConfigCase{"EmptyKey", "=value\n", {{"", "value"}}},
                    ConfigCase{"NumberSignIsAKey", "#SERVER=x\n", {{"#SERVER", "x"}}},
                    ConfigCase{"KeysAreCaseSensitive", "server=x\nSERVER=y\n", {{"server", "x"}, {"SERVER", "y"}}},
                    ConfigCase{"CarriageReturnDropsOnce",
                               "SERVER=https://x\r\nNODE=n\r\r\n",
                               {{"SERVER", "https://x"}, {"NODE", "n\r"}}},
                    ConfigCase{"NotUtf8ReadsEmpty", "SERVER=https://x\nNODE=\xff\xfe\n", {}},
                    ConfigCase{"Empty", "", {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ConfigFormat, WritesThreeLines) {
    EXPECT_EQ(formatConfig("https://h:8443", "/usr/bin/node", ""), "SERVER=https://h:8443\nNODE=/usr/bin/node\nADB=\n");
    EXPECT_EQ(parseConfig(formatConfig("https://h", "n", "a")),
              (Config{{"SERVER", "https://h"}, {"NODE", "n"}, {"ADB", "a"}}));
}

struct ServerCase {
    const char* name;
    std::optional<std::string> file;
    std::string server;
};

void PrintTo(const ServerCase& c, std::ostream* os) {
    *os << c.name;
}

class ServerSetting : public testing::TestWithParam<ServerCase> {};

TEST_P(ServerSetting, ComesFromConfigOrDefault) {
    test::TempDir dir;
    test::ScopedEnv home("TAVIX_HOME", dir.path().string());
    if (GetParam().file) test::writeFile(dir / "config", *GetParam().file);
    EXPECT_EQ(StateDirectory(dir.path()).server(), GetParam().server);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ServerSetting,
    testing::Values(ServerCase{"NoFile", std::nullopt, "https://tavix.app"},
                    ServerCase{"TrailingSlashKept", "SERVER=https://a.example/\n", "https://a.example/"},
                    ServerCase{"SpacedKeyIsAnotherKey", " SERVER = https://a.example\n", "https://tavix.app"},
                    ServerCase{"EmptyValueIsEmpty", "SERVER=\n", ""},
                    ServerCase{"SecondWins", "SERVER=https://1\nSERVER=https://2\n", "https://2"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tavix
