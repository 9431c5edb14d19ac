#pragma once

#include <string>

namespace tavix {

// A fresh random (version 4) UUID: 36 characters, upper-case hexadecimal digits in groups of 8-4-4-4-12.
std::string makeUuid();

}  // namespace tavix
