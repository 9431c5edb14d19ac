#include <gtest/gtest.h>

#include "app/mode.h"

namespace tavix {
namespace {

TEST(ModeChoice, ArgumentOrderDecides) {
    struct Case {
        std::vector<std::string> args;
        Mode mode;
        std::string icon;
    } cases[] = {
        {{"tavix-menu"}, Mode::normal, ""},
        {{"tavix-menu", "--settings"}, Mode::normal, ""},
        {{"tavix-menu", "--render-icon"}, Mode::normal, ""},
        {{"tavix-menu", "--self-test", "--render-icon"}, Mode::selfTest, ""},
        {{"tavix-menu", "--self-test", "--render-icon", "x.png"}, Mode::renderIcon, "x.png"},
        {{"tavix-menu", "--render-icon", "--self-test"}, Mode::renderIcon, "--self-test"},
        {{"tavix-menu", "--render-icon", "a.png", "--render-icon", "b.png"}, Mode::renderIcon, "a.png"},
        {{"tavix-menu", "--SELF-TEST", "-render-icon", "x"}, Mode::normal, ""},
        {{"tavix-menu", "--bogus", "--self-test"}, Mode::selfTest, ""},
    };
    for (const auto& c : cases) {
        auto choice = chooseMode(c.args);
        EXPECT_EQ(choice.mode, c.mode) << testing::PrintToString(c.args);
        EXPECT_EQ(choice.iconPath, c.icon) << testing::PrintToString(c.args);
    }
}

}  // namespace
}  // namespace tavix
