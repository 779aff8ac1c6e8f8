#include "platform/clock.h"
#include "platform/last_error.h"

namespace orvanta {

bool Clock::SetUtc(const SystemTime&) {
  SetLastError(error::kCallNotImplemented);
  return false;
}

}  // namespace orvanta
