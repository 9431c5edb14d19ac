#pragma once

#include "platform/clock.h"

namespace tavix {

class SystemClock final : public Clock {
  public:
    double nowMilliseconds() const override;
};

}  // namespace tavix
