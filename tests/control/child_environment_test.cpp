#include <gtest/gtest.h>

#include "control/child_environment.h"

namespace tavix {
namespace {

TEST(ComposeEnvironment, GivenValuesWinAndTheRestPassesThrough) {
    using Entries = std::vector<std::string>;
    struct Case {
        Entries own;
        std::map<std::string, std::string> given;
        Entries expected;  // by name
    } cases[] = {
        {{"PATH=/usr/bin", "HOME=/home/u"}, {{"HOME", "/tmp/h"}}, {"HOME=/tmp/h", "PATH=/usr/bin"}},
        {{"PATH=/usr/bin"}, {{"TAVIX_CODE", "123456"}}, {"PATH=/usr/bin", "TAVIX_CODE=123456"}},
        {{"LANG=C"}, {{"LANG", ""}}, {"LANG="}},
        {{"OPTS=a=b"}, {{"B", "x=y"}}, {"B=x=y", "OPTS=a=b"}},
        {{"X=first", "X=second"}, {}, {"X=first"}},
        {{"X=first", "X=second"}, {{"X", "given"}}, {"X=given"}},
        // Nothing a program could read back.
        {{"BROKEN", "=v", "A=1"}, {{"", "v"}, {"B=C", "v"}}, {"A=1"}},
    };
    for (const auto& c : cases) EXPECT_EQ(composeEnvironment(c.own, c.given), c.expected);
}

}  // namespace
}  // namespace tavix
