#pragma once

#include <string>
#include <vector>

namespace tavix {

enum class Mode { normal, renderIcon, selfTest };

struct ModeChoice {
    Mode mode = Mode::normal;
    std::string iconPath;  // for Mode::renderIcon
};

// Chooses from the whole argument vector (the program first): "--render-icon" with a following argument wins,
// then "--self-test"; anything else is the normal start.
ModeChoice chooseMode(const std::vector<std::string>& arguments);

}  // namespace tavix
