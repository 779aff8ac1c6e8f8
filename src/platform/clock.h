// The system clock seam: the one place the program reads (and, with the
// right granted, sets) the time. Logic asks SystemClock(); the real clock
// serves unless a test or a diagnostic run has put another in its place.
#pragma once

#include "platform/system_time.h"

namespace orvanta {

class Clock {
 public:
  virtual ~Clock() = default;
  // Current UTC time at millisecond resolution (wMilliseconds 0-999).
  virtual SystemTime NowUtc() = 0;
};

// The clock in force: the platform's own, or the innermost override.
Clock& SystemClock();

// The platform's real clock.
Clock& RealClock();

// Puts another clock in force for the life of this object (tests).
class ScopedClockOverride {
 public:
  explicit ScopedClockOverride(Clock& clock);
  ~ScopedClockOverride();
  ScopedClockOverride(const ScopedClockOverride&) = delete;
  ScopedClockOverride& operator=(const ScopedClockOverride&) = delete;

 private:
  Clock* previous_;
};

}  // namespace orvanta
