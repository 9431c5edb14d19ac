#pragma once

#include <string>
#include <vector>

#include "platform/command.h"

namespace tavix {

// A rectangle in window units. Declared with the origin at the bottom-left (y up), the way the layout is drawn up;
// `topLeft` converts it for toolkits whose y runs down.
struct Frame {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Frame topLeft(double parentHeight) const { return {x, parentHeight - y - height, width, height}; }
    bool operator==(const Frame&) const = default;
};

struct Rgba {
    double red = 1;
    double green = 1;
    double blue = 1;
    double alpha = 1;

    static constexpr Rgba white(double alpha) { return {1, 1, 1, alpha}; }
    bool operator==(const Rgba&) const = default;
};

enum class LiveLabel { none, status, activity, phone, computer };

// One view of the settings window, in the order they are stacked (later ones on top).
struct SettingsElement {
    enum class Kind { logo, card, label, button } kind = Kind::label;
    Frame frame;
    std::string text;      // label text or button title
    double fontSize = 13;  // labels
    int weight = 400;      // labels: 400 regular, 600 semibold, 700 bold
    Rgba colour;           // labels
    LiveLabel live = LiveLabel::none;
    Command command = Command::showSettings;  // buttons
    bool primary = false;                     // buttons
};

struct SettingsModel {
    std::string title = "Tavix Link";
    double width = 560;
    double height = 600;
    Rgba background{0.055, 0.075, 0.078, 1};
    Rgba cardFill{0.094, 0.122, 0.125, 1};
    Rgba cardBorder = Rgba::white(0.09);
    double cardRadius = 17;
    Rgba primaryFill{0.65, 0.94, 0.76, 1};
    Rgba primaryInk{0.045, 0.11, 0.09, 1};
    Rgba connectedColour{0.61, 0.94, 0.73, 1};
    Rgba secondaryColour = Rgba::white(0.55);
    std::vector<SettingsElement> elements;
};

// The settings window with `serverLine` (the server's host) on its connection card.
SettingsModel settingsModel(const std::string& serverLine);

}  // namespace tavix
