// The system clock seam: read UTC now; grant, use and withdraw the right to
// set it. The pass receives a Clock; app/ hands it the platform's own, tests
// and query-only runs a clock of their own.
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

// The platform's real clock.
Clock& RealClock();

}  // namespace orvanta
