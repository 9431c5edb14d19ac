#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/tavix_menu.h"

namespace tavix {

// TavixMenu::process(): sets `operation`, runs the child on a worker thread, and on the main queue clears
// `operation`, calls `completion` and, when the child was started, refresh(). `menu` must outlive the run.
void runProcess(TavixMenu& menu, const std::string& executable, const std::vector<std::string>& arguments,
                const std::optional<std::string>& input, const Environment& environment, double timeout,
                ProcessCompletion completion);

}  // namespace tavix
