#include "platform/system/random_bytes.h"

#include <sys/random.h>

#include <cerrno>
#include <random>

namespace tavix {

void fillRandom(std::uint8_t* bytes, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got = ::getrandom(bytes + filled, count - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // No kernel randomness (very old kernel or seccomp): fall back to the library's source.
            std::random_device device;
            for (; filled < count; ++filled) bytes[filled] = static_cast<std::uint8_t>(device());
        }
    }
}

}  // namespace tavix
