// A clock whose readings the test decides, and that records what was done to
// set it instead of touching the machine's clock.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/last_error.h"
#include "platform/system_time.h"
#include "sync/ntp_era.h"

namespace orvanta {

inline void PrintTo(const UtcInstant& t, std::ostream* out) { *out << t.unixSeconds << "s+" << t.nanoseconds << "ns"; }

inline void PrintTo(const SystemTime& t, std::ostream* out) {
  *out << t.wYear << "-" << t.wMonth << "-" << t.wDay << " " << t.wHour << ":" << t.wMinute << ":" << t.wSecond << "."
       << t.wMilliseconds << " (day " << t.wDayOfWeek << ")";
}

}  // namespace orvanta

namespace orvanta::test {

// A UTC calendar time (day of week left 0).
inline SystemTime MakeUtc(uint16_t year, uint16_t month, uint16_t day, uint16_t hour = 0, uint16_t minute = 0,
                          uint16_t second = 0, uint16_t milliseconds = 0) {
  return SystemTime{year, month, 0, day, hour, minute, second, milliseconds};
}

inline UtcInstant InstantOf(const SystemTime& utc, uint32_t extraNanoseconds = 0) {
  return UtcInstant{SecondsSince1900(utc) - kUnixEpochInNtpSeconds, utc.wMilliseconds * 1000000u + extraNanoseconds};
}

class FakeClock : public Clock {
 public:
  UtcInstant Now() override {
    ++readings;
    const UtcInstant now = times.front();
    if (times.size() > 1) times.erase(times.begin());
    return now;
  }
  bool GrantSetRight() override { log.push_back("grant"); return true; }
  // Refused with 1314 (privilege not held) while refuse is set.
  bool Set(const UtcInstant& utc) override {
    log.push_back("set");
    if (refuse) {
      SetLastError(error::kPrivilegeNotHeld);
      return false;
    }
    setTo.push_back(utc);
    return true;
  }
  void WithdrawSetRight() override { log.push_back("withdraw"); }

  // The next readings in turn; the last one repeats.
  std::vector<UtcInstant> times{InstantOf(MakeUtc(2026, 12, 7, 10))};
  std::size_t readings = 0;
  bool refuse = false;
  std::vector<std::string> log;
  std::vector<UtcInstant> setTo;
};

}  // namespace orvanta::test
