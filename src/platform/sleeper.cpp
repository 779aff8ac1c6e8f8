#include "platform/sleeper.h"

#include <chrono>
#include <thread>

namespace orvanta {

namespace {

class ThreadSleeper final : public Sleeper {
 public:
  void Sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

Sleeper& RealSleeper() {
  static ThreadSleeper sleeper;
  return sleeper;
}

}  // namespace orvanta
