// The system clock seam: read UTC now as finely as the system offers; grant,
// use and withdraw the right to set it. The pass receives a Clock; app/
// hands it the platform's own, tests and query-only runs a clock of their own.
#pragma once

#include <cstdint>

namespace orvanta {

// An instant in UTC: whole seconds since 1970-01-01 00:00:00 UTC and the
// nanoseconds past them (0-999,999,999).
struct UtcInstant {
  int64_t unixSeconds = 0;
  uint32_t nanoseconds = 0;
};

inline bool operator==(const UtcInstant& a, const UtcInstant& b) {
  return a.unixSeconds == b.unixSeconds && a.nanoseconds == b.nanoseconds;
}
inline bool operator!=(const UtcInstant& a, const UtcInstant& b) { return !(a == b); }

// The instant rounded to the nearest millisecond (a half rounds up), for a
// clock that is set in milliseconds.
UtcInstant RoundedToMilliseconds(const UtcInstant& instant);

class Clock {
 public:
  virtual ~Clock() = default;
  // UTC now: nanoseconds on Linux; on Windows the precise system time where
  // the system has it (100 ns), else the tick-driven one.
  virtual UtcInstant Now() = 0;

  // Setting the clock: the right to do so is granted just before a change
  // and withdrawn right after it (grant, set, withdraw). A clock that cannot
  // be set keeps these defaults: the grant succeeds, the change is refused.
  //
  // Grant: false when the right could not even be asked for. True also when
  // the account does not hold it; the change then fails.
  virtual bool GrantSetRight() { return true; }
  // Sets the clock (nanoseconds on Linux, the nearest millisecond on
  // Windows); true when the system accepted it.
  virtual bool Set(const UtcInstant& utc);
  // Undoes whatever the last grant did; keeps the last-error value.
  virtual void WithdrawSetRight() {}
};

// The platform's real clock.
Clock& RealClock();

}  // namespace orvanta
