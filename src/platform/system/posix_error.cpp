#include "platform/system/posix_error.h"

#include <cstring>

namespace tavix {

Error posixError(int err, std::string_view what) {
    std::string description(what);
    description += ": ";
    description += std::strerror(err);
    return Error{std::string(kPosixDomain), err, std::move(description)};
}

}  // namespace tavix
