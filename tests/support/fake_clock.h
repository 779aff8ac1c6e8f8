// A clock whose readings the test decides: one fixed time, or a sequence of
// times handed out one per reading (the last one repeats).
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace orvanta::test {

// A UTC calendar time (day of week left 0).
SystemTime MakeUtc(uint16_t year, uint16_t month, uint16_t day, uint16_t hour = 0, uint16_t minute = 0,
                   uint16_t second = 0, uint16_t milliseconds = 0);

class FakeClock : public Clock {
 public:
  explicit FakeClock(const SystemTime& now = MakeUtc(2009, 3, 15, 12, 34, 56, 789));

  // Every later reading gives now.
  void Set(const SystemTime& now);
  // The next readings give these in turn; after them the last one repeats.
  void SetSequence(std::vector<SystemTime> readings);
  // How many times the clock was read.
  std::size_t Readings() const;

  SystemTime NowUtc() override;

 private:
  mutable std::mutex mutex_;
  std::vector<SystemTime> pending_;
  std::size_t next_ = 0;
  std::size_t readings_ = 0;
};

}  // namespace orvanta::test
