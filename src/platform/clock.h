#pragma once

namespace tavix {

class Clock {
  public:
    virtual ~Clock() = default;
    // Wall-clock time in milliseconds since 1970-01-01 00:00 UTC, with the fraction.
    virtual double nowMilliseconds() const = 0;
};

}  // namespace tavix
