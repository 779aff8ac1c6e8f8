#include "platform/clock.h"

#include <atomic>

namespace orvanta {

namespace {
std::atomic<Clock*> g_override{nullptr};
}

Clock& SystemClock() {
  Clock* clock = g_override.load();
  return clock != nullptr ? *clock : RealClock();
}

ScopedClockOverride::ScopedClockOverride(Clock& clock) : previous_(g_override.exchange(&clock)) {}

ScopedClockOverride::~ScopedClockOverride() { g_override.store(previous_); }

}  // namespace orvanta
