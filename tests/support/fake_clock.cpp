#include "support/fake_clock.h"

#include <utility>

#include "platform/last_error.h"
#include "sync/ntp_era.h"

namespace orvanta::test {

SystemTime MakeUtc(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                   uint16_t second, uint16_t milliseconds) {
  return SystemTime{year, month, 0, day, hour, minute, second, milliseconds};
}

UtcInstant InstantOf(const SystemTime& utc, uint32_t extraNanoseconds) {
  return UtcInstant{SecondsSince1900(utc) - kUnixEpochInNtpSeconds,
                    utc.wMilliseconds * 1000000u + extraNanoseconds};
}

FakeClock::FakeClock(const SystemTime& now) : pending_{InstantOf(now)} {}

void FakeClock::SetSequence(const std::vector<SystemTime>& readings) {
  std::vector<UtcInstant> instants;
  for (const SystemTime& reading : readings) instants.push_back(InstantOf(reading));
  SetSequence(std::move(instants));
}

void FakeClock::SetSequence(std::vector<UtcInstant> readings) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_ = std::move(readings);
  next_ = 0;
}

std::size_t FakeClock::Readings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readings_;
}

UtcInstant FakeClock::Now() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++readings_;
  const UtcInstant now = pending_[next_];
  if (next_ + 1 < pending_.size()) ++next_;
  return now;
}

bool FakeClock::GrantSetRight() {
  log.push_back("grant");
  return true;
}

bool FakeClock::Set(const UtcInstant& utc) {
  log.push_back("set");
  if (refuse) {
    SetLastError(error::kPrivilegeNotHeld);
    return false;
  }
  setTo.push_back(utc);
  return true;
}

void FakeClock::WithdrawSetRight() { log.push_back("withdraw"); }

}  // namespace orvanta::test
