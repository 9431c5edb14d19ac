#include "app/mode.h"

#include <algorithm>

namespace tavix {

ModeChoice chooseMode(const std::vector<std::string>& arguments) {
    auto icon = std::find(arguments.begin(), arguments.end(), "--render-icon");
    if (icon != arguments.end() && std::next(icon) != arguments.end()) return {Mode::renderIcon, *std::next(icon)};
    if (std::find(arguments.begin(), arguments.end(), "--self-test") != arguments.end()) return {Mode::selfTest, {}};
    return {Mode::normal, {}};
}

}  // namespace tavix
