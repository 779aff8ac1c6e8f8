#include "support/fake_clock.h"

#include <utility>

namespace orvanta::test {

SystemTime MakeUtc(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                   uint16_t second, uint16_t milliseconds) {
  SystemTime utc;
  utc.wYear = year;
  utc.wMonth = month;
  utc.wDay = day;
  utc.wHour = hour;
  utc.wMinute = minute;
  utc.wSecond = second;
  utc.wMilliseconds = milliseconds;
  return utc;
}

FakeClock::FakeClock(const SystemTime& now) : pending_{now} {}

void FakeClock::Set(const SystemTime& now) { SetSequence({now}); }

void FakeClock::SetSequence(std::vector<SystemTime> readings) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (readings.empty()) return;
  pending_ = std::move(readings);
  next_ = 0;
}

std::size_t FakeClock::Readings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readings_;
}

SystemTime FakeClock::NowUtc() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++readings_;
  const SystemTime now = pending_[next_];
  if (next_ + 1 < pending_.size()) ++next_;
  return now;
}

}  // namespace orvanta::test
