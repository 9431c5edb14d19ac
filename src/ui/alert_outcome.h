#pragma once

#include <string_view>

namespace tavix {

// Whether the alert of this title reports a command that did what was asked; every other alert of a command
// reports a failure or a refusal.
bool reportsSuccess(std::string_view title);

}  // namespace tavix
