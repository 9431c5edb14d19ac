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
    // Two columns (x 24 and 287) of rows 55 apart from y 174 down; only the first is primary.
    const std::pair<const char*, Command> expected[] = {
        {"Open Devices & History", Command::openDevices}, {"Pair / Change Account", Command::pairAccount},
        {"Pair Android over Wi-Fi", Command::pairPhone},  {"Connect Android over Wi-Fi", Command::connectPhone},
        {"Pause / Resume Tasks", Command::togglePause},   {"View Bridge Logs", Command::logs},
    };
    ASSERT_EQ(buttons.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(buttons[i].text, expected[i].first);
        EXPECT_EQ(buttons[i].command, expected[i].second);
        EXPECT_EQ(buttons[i].primary, i == 0);
        EXPECT_EQ(buttons[i].frame, (Frame{i % 2 ? 287.0 : 24.0, 174.0 - 55.0 * double(i / 2), 249, 44}));
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
