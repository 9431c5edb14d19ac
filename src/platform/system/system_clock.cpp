#include "platform/system/system_clock.h"

#include <chrono>

namespace tavix {

double SystemClock::nowMilliseconds() const {
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tavix
