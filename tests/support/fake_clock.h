// A clock whose readings the test decides (one fixed time, or a sequence
// handed out one per reading, the last one repeating), and that records what
// was done to set it instead of touching the machine's clock.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/system_time.h"

#include <ostream>

namespace orvanta {

inline void PrintTo(const UtcInstant& instant, std::ostream* out) {
  *out << instant.unixSeconds << "s+" << instant.nanoseconds << "ns";
}

}  // namespace orvanta

namespace orvanta::test {

// A UTC calendar time (day of week left 0).
SystemTime MakeUtc(uint16_t year, uint16_t month, uint16_t day, uint16_t hour = 0, uint16_t minute = 0,
                   uint16_t second = 0, uint16_t milliseconds = 0);
// The instant of a UTC calendar time, plus some nanoseconds.
UtcInstant InstantOf(const SystemTime& utc, uint32_t extraNanoseconds = 0);

class FakeClock : public Clock {
 public:
  explicit FakeClock(const SystemTime& now = MakeUtc(2009, 3, 15, 12, 34, 56, 789));

  // The next readings give these in turn; after them the last one repeats.
  void SetSequence(std::vector<UtcInstant> readings);
  void SetSequence(const std::vector<SystemTime>& readings);
  void Set(const SystemTime& now) { SetSequence({InstantOf(now)}); }
  std::size_t Readings() const;

  UtcInstant Now() override;
  // "grant", "set" and "withdraw" go to log; a change is refused with 1314
  // (privilege not held) while refuse is set, else kept in setTo.
  bool GrantSetRight() override;
  bool Set(const UtcInstant& utc) override;
  void WithdrawSetRight() override;

  bool refuse = false;
  std::vector<std::string> log;
  std::vector<UtcInstant> setTo;

 private:
  mutable std::mutex mutex_;
  std::vector<UtcInstant> pending_;
  std::size_t next_ = 0;
  std::size_t readings_ = 0;
};

}  // namespace orvanta::test
