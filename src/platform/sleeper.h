// The one way the program waits a fixed time: the start-up delay of "once",
// the worker's start-up pauses, the service's wind-down grace and the pause
// between two stop requests at removal. Tests hand in a sleeper that records.
#pragma once

#include <cstdint>

namespace orvanta {

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// Real time passes.
Sleeper& RealSleeper();

}  // namespace orvanta
