#include <gtest/gtest.h>

#include "ui/settings_model.h"

namespace tavix {
namespace {

TEST(SettingsModel, QuickActionsInTheirGrid) {
    auto model = settingsModel("tavix.app");
    std::vector<SettingsElement> buttons;
    for (const auto& e : model.elements) {
        if (e.kind == SettingsElement::Kind::button) buttons.push_back(e);
    }
    struct Expected {
        const char* title;
        Command command;
        bool primary;
        Frame frame;
    } expected[] = {
        {"Open Devices & History", Command::openDevices, true, {24, 174, 249, 44}},
        {"Pair / Change Account", Command::pairAccount, false, {287, 174, 249, 44}},
        {"Pair Android over Wi-Fi", Command::pairPhone, false, {24, 119, 249, 44}},
        {"Connect Android over Wi-Fi", Command::connectPhone, false, {287, 119, 249, 44}},
        {"Pause / Resume Tasks", Command::togglePause, false, {24, 64, 249, 44}},
        {"View Bridge Logs", Command::logs, false, {287, 64, 249, 44}},
    };
    ASSERT_EQ(buttons.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(buttons[i].text, expected[i].title);
        EXPECT_EQ(buttons[i].command, expected[i].command);
        EXPECT_EQ(buttons[i].primary, expected[i].primary);
        EXPECT_EQ(buttons[i].frame, expected[i].frame);
    }
}

TEST(SettingsModel, LiveLabelsStartAsCheckingOrEmpty) {
    auto model = settingsModel("example.test");
    std::map<LiveLabel, std::string> live;
    bool serverShown = false;
    for (const auto& e : model.elements) {
        if (e.live != LiveLabel::none) live[e.live] = e.text;
        if (e.text == "example.test") serverShown = e.frame == Frame{45, 382, 330, 22};
    }
    EXPECT_EQ(live[LiveLabel::status], "Checking…");
    EXPECT_EQ(live[LiveLabel::phone], "Checking…");
    EXPECT_EQ(live[LiveLabel::activity], "");
    EXPECT_EQ(live[LiveLabel::computer], "");
    EXPECT_TRUE(serverShown);
}

TEST(SettingsModel, CardsComeBeforeTheLabelsOnThem) {
    auto model = settingsModel("h");
    int cards = 0;
    for (const auto& e : model.elements) {
        if (e.kind == SettingsElement::Kind::card) ++cards;
        if (e.text == "CONNECTION") {
            EXPECT_EQ(cards, 1);
        }
        if (e.text == "ANDROID DEVICE") {
            EXPECT_EQ(cards, 2);
        }
    }
    EXPECT_EQ(model.elements.front().kind, SettingsElement::Kind::logo);
    EXPECT_EQ(model.elements.back().text, "Runs quietly in the background when this window is closed.");
}

}  // namespace
}  // namespace tavix
