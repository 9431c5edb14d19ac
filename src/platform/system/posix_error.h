#pragma once

#include <string_view>

#include "platform/error.h"

namespace tavix {

// An error for `err` (an errno value) whose description reads "<what>: <system text>".
Error posixError(int err, std::string_view what);

}  // namespace tavix
