#include "platform/system/host_name.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "support/temp_dir.h"

namespace tavix {
namespace {

TEST(HostName, ReadsThePrettyNameAsSystemdWritesIt) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"PRETTY_HOSTNAME=\"Ana's Laptop\"\n", "Ana's Laptop"},
        {"PRETTY_HOSTNAME='Desk \"One\"'\n", "Desk \"One\""},
        {"PRETTY_HOSTNAME=Plain  \n", "Plain"},
        {"PRETTY_HOSTNAME=\"Say \\\"hi\\\" \\$5 \\n\"", "Say \"hi\" $5 \\n"},
        {"PRETTY_HOSTNAME=Two\\ Words", "Two Words"},
        {"  PRETTY_HOSTNAME=\"Léa’s PC\"  \n", "Léa’s PC"},
        {"CHASSIS=laptop\nPRETTY_HOSTNAME=A\nICON_NAME=computer\nPRETTY_HOSTNAME=B\n", "B"},
        {"PRETTY_HOSTNAME=\n", ""},
        {"# PRETTY_HOSTNAME=Commented\nCHASSIS=desktop\n", std::nullopt},
        {"XPRETTY_HOSTNAME=Other\n", std::nullopt},
    };
    for (const auto& [text, name] : cases) EXPECT_EQ(prettyHostName(text), name) << text;
}

TEST(HostName, FallsBackToTheHostName) {
    char host[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    test::TempDir dir;
    const std::pair<std::string, std::string> cases[] = {{"PRETTY_HOSTNAME=\"Ana’s Desk\"\n", "Ana’s Desk"},
                                                         {"PRETTY_HOSTNAME=\"\"\n", host},
                                                         {"PRETTY_HOSTNAME=\"bad \xFF\"\n", host},
                                                         {"CHASSIS=vm\n", host}};
    for (const auto& [text, name] : cases) {
        test::writeFile(dir / "machine-info", text);
        EXPECT_EQ(computerName(dir / "machine-info"), name) << text;
    }
    EXPECT_EQ(computerName(dir / "missing"), host);
}

}  // namespace
}  // namespace tavix
