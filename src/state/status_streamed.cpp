#include "state/status_reader.h"

namespace tavix {

Status parseSmallStatus(std::string_view text) {
    return streamStatus(text);
}

}  // namespace tavix
