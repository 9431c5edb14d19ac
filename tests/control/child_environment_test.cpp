#include <gtest/gtest.h>

#include <cstdlib>

#include "control/child_environment.h"

namespace tavix {
namespace {

using Entries = std::vector<std::string>;

TEST(ComposeEnvironment, GivenValuesWinAndTheRestPassesThrough) {
    struct Case {
        std::string name;
        Entries own;
        std::map<std::string, std::string> given;
        Entries expected;  // by name
    };
    const Case cases[] = {
        {"nothing given", {"PATH=/usr/bin", "HOME=/home/u"}, {}, {"HOME=/home/u", "PATH=/usr/bin"}},
        {"override", {"PATH=/usr/bin", "HOME=/home/u"}, {{"HOME", "/tmp/h"}}, {"HOME=/tmp/h", "PATH=/usr/bin"}},
        {"added", {"PATH=/usr/bin"}, {{"TAVIX_CODE", "123456"}}, {"PATH=/usr/bin", "TAVIX_CODE=123456"}},
        {"empty value given", {"LANG=C"}, {{"LANG", ""}}, {"LANG="}},
        {"value with =", {"A=1"}, {{"B", "x=y"}}, {"A=1", "B=x=y"}},
        {"own value with =", {"OPTS=a=b"}, {}, {"OPTS=a=b"}},
        {"twice in own: the first counts", {"X=first", "X=second"}, {}, {"X=first"}},
        {"twice in own, given wins", {"X=first", "X=second"}, {{"X", "given"}}, {"X=given"}},
        {"own entry without =", {"BROKEN", "A=1"}, {}, {"A=1"}},
        {"unusable names given", {"A=1"}, {{"", "v"}, {"B=C", "v"}}, {"A=1"}},
        {"nothing at all", {}, {}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(composeEnvironment(c.own, c.given), c.expected) << c.name;
}

TEST(ComposeEnvironment, CurrentEnvironmentIsOurs) {
    ::setenv("TAVIX_RUNNER_PROBE", "a b=c", 1);
    const auto entries = currentEnvironment();
    ::unsetenv("TAVIX_RUNNER_PROBE");
    EXPECT_NE(std::find(entries.begin(), entries.end(), "TAVIX_RUNNER_PROBE=a b=c"), entries.end());
}

}  // namespace
}  // namespace tavix
