#include "state/status_reader.h"

namespace tavix {

Status parseSmallStatus(std::string_view text) {
    return streamStatus(text);
}

Status parseLargeStatus(std::string_view text, std::size_t) {
    return streamStatus(text);
}

}  // namespace tavix
