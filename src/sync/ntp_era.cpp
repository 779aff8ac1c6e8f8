#include "sync/ntp_era.h"

#include "sync/calendar.h"

namespace orvanta {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t FloorDivide(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The timestamp's seconds since 1900 without the wrap: the signed distance
// from the reference, modulo 2^32, is at most 68 years either way.
int64_t UnwrappedSeconds(const NtpTimestamp& timestamp, const UtcInstant& reference) {
  const int64_t referenceSeconds = reference.unixSeconds + kUnixEpochInNtpSeconds;
  return referenceSeconds + static_cast<int32_t>(timestamp.seconds - static_cast<uint32_t>(referenceSeconds));
}

}  // namespace

int64_t SecondsSince1900(const SystemTime& utc) {
  const int64_t days = int64_t{DateToDayNumber(utc.wYear, utc.wMonth, utc.wDay)} - kNtpEpochDayNumber;
  return ((days * 24 + utc.wHour) * 60 + utc.wMinute) * 60 + utc.wSecond;
}

UtcInstant ToInstantNearestEra(const NtpTimestamp& timestamp, const UtcInstant& reference) {
  int64_t seconds = UnwrappedSeconds(timestamp, reference) - kUnixEpochInNtpSeconds;
  uint64_t nanoseconds = (uint64_t{timestamp.fraction} * kNanosecondsPerSecond + (uint64_t{1} << 31)) >> 32;
  if (nanoseconds == kNanosecondsPerSecond) {
    nanoseconds = 0;
    ++seconds;
  }
  return UtcInstant{seconds, static_cast<uint32_t>(nanoseconds)};
}

SystemTime ToSystemTimeNearestEra(const NtpTimestamp& timestamp, const UtcInstant& reference) {
  int64_t seconds = UnwrappedSeconds(timestamp, reference);

  // The fraction alone, converted the usual way, gives the milliseconds and
  // tells whether they rounded up into the next second.
  const SystemTime fraction = NtpTimestamp(0, timestamp.fraction).ToSystemTime();
  seconds += fraction.wSecond;

  const int64_t days = FloorDivide(seconds, kSecondsPerDay);
  const int64_t secondOfDay = seconds - days * kSecondsPerDay;
  const auto dayNumber = static_cast<int32_t>(days + kNtpEpochDayNumber);

  SystemTime utc;
  utc.wMilliseconds = fraction.wMilliseconds;
  utc.wSecond = static_cast<uint16_t>(secondOfDay % 60);
  utc.wMinute = static_cast<uint16_t>(secondOfDay / 60 % 60);
  utc.wHour = static_cast<uint16_t>(secondOfDay / 3600);
  utc.wDayOfWeek = static_cast<uint16_t>(((dayNumber + 1) % 7 + 7) % 7);  // 1900-01-01 was a Monday
  DayNumberToDate(dayNumber, utc.wYear, utc.wMonth, utc.wDay);
  return utc;
}

}  // namespace orvanta
