#pragma once

#include <cstddef>
#include <cstdint>

namespace tavix {

// Fills `bytes` from the kernel's random source (the library's, where the kernel gives none).
void fillRandom(std::uint8_t* bytes, std::size_t count);

}  // namespace tavix
