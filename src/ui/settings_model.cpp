#include "ui/settings_model.h"

#include <utility>

namespace tavix {
namespace {

SettingsElement label(Frame frame, std::string text, double size, int weight, Rgba colour,
                      LiveLabel live = LiveLabel::none) {
    SettingsElement element;
    element.kind = SettingsElement::Kind::label;
    element.frame = frame;
    element.text = std::move(text);
    element.fontSize = size;
    element.weight = weight;
    element.colour = colour;
    element.live = live;
    return element;
}

SettingsElement card(Frame frame) {
    SettingsElement element;
    element.kind = SettingsElement::Kind::card;
    element.frame = frame;
    return element;
}

struct QuickAction {
    const char* title;
    Command command;
    bool primary;
};

constexpr QuickAction kQuickActions[] = {
    {"Open Devices & History", Command::openDevices, true},
    {"Pair / Change Account", Command::pairAccount, false},
    {"Pair Android over Wi-Fi", Command::pairPhone, false},
    {"Connect Android over Wi-Fi", Command::connectPhone, false},
    {"Pause / Resume Tasks", Command::togglePause, false},
    {"View Bridge Logs", Command::logs, false},
};

}  // namespace

SettingsModel settingsModel(const std::string& serverLine) {
    constexpr int kRegular = 400, kSemibold = 600, kBold = 700;
    const Rgba white = Rgba::white(1);
    const Rgba mint{0.61, 0.94, 0.73, 1};
    SettingsModel model;
    auto& e = model.elements;

    SettingsElement logo;
    logo.kind = SettingsElement::Kind::logo;
    logo.frame = {28, 506, 66, 66};
    e.push_back(logo);
    e.push_back(label({110, 534, 300, 32}, "Tavix Link", 27, kBold, white));
    e.push_back(label({111, 509, 340, 20}, "Your computer, ready to help.", 13, kRegular, Rgba::white(0.55)));

    e.push_back(card({24, 349, 512, 139}));
    e.push_back(label({45, 450, 200, 16}, "CONNECTION", 10, kBold, Rgba::white(0.45)));
    e.push_back(label({45, 410, 390, 35}, "Checking…", 28, kSemibold, mint, LiveLabel::status));
    e.push_back(label({45, 382, 330, 22}, serverLine, 13, kRegular, Rgba::white(0.55)));
    e.push_back(label({45, 359, 430, 18}, "", 12, kRegular, Rgba::white(0.45), LiveLabel::activity));

    e.push_back(card({24, 259, 512, 75}));
    e.push_back(label({45, 303, 180, 16}, "ANDROID DEVICE", 10, kBold, Rgba::white(0.45)));
    e.push_back(label({45, 274, 285, 25}, "Checking…", 16, kSemibold, white, LiveLabel::phone));
    e.push_back(label({316, 277, 200, 20}, "", 11, kRegular, Rgba::white(0.48), LiveLabel::computer));
    e.push_back(label({28, 230, 250, 16}, "QUICK ACTIONS", 10, kBold, Rgba::white(0.45)));

    // Two columns of 249 with a 14 gap between 24-unit margins; rows 55 apart.
    for (int i = 0; i < 6; ++i) {
        SettingsElement button;
        button.kind = SettingsElement::Kind::button;
        button.frame = {i % 2 == 0 ? 24.0 : 287.0, 174.0 - 55.0 * (i / 2), 249, 44};
        button.text = kQuickActions[i].title;
        button.command = kQuickActions[i].command;
        button.primary = kQuickActions[i].primary;
        e.push_back(button);
    }

    e.push_back(label({28, 17, 500, 18}, "Runs quietly in the background when this window is closed.", 11, kRegular,
                      Rgba::white(0.38)));
    return model;
}

}  // namespace tavix
