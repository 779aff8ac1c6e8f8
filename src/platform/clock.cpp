#include "platform/clock.h"

#include "platform/last_error.h"

namespace orvanta {

UtcInstant RoundedToMilliseconds(const UtcInstant& instant) {
  UtcInstant rounded = instant;
  uint32_t milliseconds = (instant.nanoseconds + 500000u) / 1000000u;
  if (milliseconds >= 1000) {
    milliseconds -= 1000;
    ++rounded.unixSeconds;
  }
  rounded.nanoseconds = milliseconds * 1000000u;
  return rounded;
}

bool Clock::Set(const UtcInstant&) {
  SetLastError(error::kCallNotImplemented);
  return false;
}

}  // namespace orvanta
