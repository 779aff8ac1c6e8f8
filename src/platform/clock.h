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

  // Setting the clock: the right to do so is granted just before a change
  // and withdrawn right after it (grant, set, withdraw). A clock that cannot
  // be set keeps these defaults: the grant succeeds, the change is refused.
  //
  // Grant: false when the right could not even be asked for. True also when
  // the account does not hold it; the change then fails.
  virtual bool GrantSetRight() { return true; }
  // Sets the clock to a UTC time; true when the system accepted it.
  virtual bool SetUtc(const SystemTime& utc);
  // Undoes whatever the last grant did; keeps the last-error value.
  virtual void WithdrawSetRight() {}
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
