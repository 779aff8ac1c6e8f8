#include "sync/ntp_timestamp.h"

#include <cmath>

#include "sync/calendar.h"

namespace orvanta {

namespace {

constexpr uint32_t kSecondsPerDay = 86400;
// Fraction units per second when a fraction is read as a part of a second.
constexpr double kFractionFullScale = 4294967295.0;
// Nearest doubles to 1/(2^32 - 1) and 1000/(2^32 - 1): IEEE division of two
// exact values rounds correctly.
constexpr double kSecondsPerFraction = 1.0 / kFractionFullScale;
constexpr double kMillisecondsPerFraction = 1000.0 / kFractionFullScale;

uint32_t ReadBigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

void WriteBigEndian32(uint32_t value, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(value >> 24);
  bytes[1] = static_cast<uint8_t>(value >> 16);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  bytes[3] = static_cast<uint8_t>(value);
}

}  // namespace

NtpTimestamp NtpTimestamp::FromNetwork(const uint8_t* bytes) {
  return NtpTimestamp(ReadBigEndian32(bytes), ReadBigEndian32(bytes + 4));
}

void NtpTimestamp::ToNetwork(uint8_t* bytes) const {
  WriteBigEndian32(seconds, bytes);
  WriteBigEndian32(fraction, bytes + 4);
}

NtpTimestamp NtpTimestamp::FromSystemTime(const SystemTime& utc) {
  const int64_t days = int64_t{DateToDayNumber(utc.wYear, utc.wMonth, utc.wDay)} - kNtpEpochDayNumber;
  const int64_t total = ((days * 24 + utc.wHour) * 60 + utc.wMinute) * 60 + utc.wSecond +
                        utc.wMilliseconds / 1000;
  // Conversion to unsigned keeps total modulo 2^64, and so its low 32 bits.
  return NtpTimestamp(static_cast<uint32_t>(static_cast<uint64_t>(total)),
                      MillisecondFractions[utc.wMilliseconds % 1000]);
}

NtpTimestamp NtpTimestamp::FromInstant(const UtcInstant& instant) {
  // nanoseconds x 2^32 / 10^9, rounded; below 10^9 it stays below 2^32.
  const uint64_t fraction = ((uint64_t{instant.nanoseconds} << 32) + kNanosecondsPerSecond / 2) / kNanosecondsPerSecond;
  return NtpTimestamp(static_cast<uint32_t>(static_cast<uint64_t>(instant.unixSeconds + kUnixEpochInNtpSeconds)),
                      static_cast<uint32_t>(fraction));
}

NtpTimestamp NtpTimestamp::Now(Clock& clock) { return FromInstant(clock.Now()); }

SystemTime NtpTimestamp::ToSystemTime() const {
  uint32_t s = seconds;
  // Rounded to the nearest millisecond; the sum is non-negative, so the
  // truncation is the floor.
  uint32_t milliseconds = static_cast<uint32_t>(fraction * kMillisecondsPerFraction + 0.5);
  if (milliseconds >= 1000) {
    milliseconds -= 1000;
    ++s;  // 0xFFFFFFFF + 1 wraps to the start of the era, like V itself.
  }
  SystemTime utc;
  utc.wMilliseconds = static_cast<uint16_t>(milliseconds);
  utc.wSecond = static_cast<uint16_t>(s % 60);
  utc.wMinute = static_cast<uint16_t>(s / 60 % 60);
  utc.wHour = static_cast<uint16_t>(s / 3600 % 24);
  const int32_t dayNumber = static_cast<int32_t>(s / kSecondsPerDay) + kNtpEpochDayNumber;
  utc.wDayOfWeek = static_cast<uint16_t>((dayNumber + 1) % 7);  // 1900-01-01 was a Monday
  DayNumberToDate(dayNumber, utc.wYear, utc.wMonth, utc.wDay);
  return utc;
}

double NtpTimestamp::SignedSecondsSince(const NtpTimestamp& other) const {
  const uint64_t forward = Value() - other.Value();  // modulo 2^64
  const bool later = forward < (uint64_t{1} << 63);
  const NtpTimestamp d = FromValue(later ? forward : 0 - forward);
  const double magnitude = d.seconds + d.fraction * kSecondsPerFraction;
  return later ? magnitude : -magnitude;
}

NtpTimestamp NtpTimestamp::PlusSeconds(double s) const {
  if (!std::isfinite(s)) return *this;
  const bool backwards = s < 0;
  const double a = backwards ? -s : s;
  const double whole = std::trunc(a);
  const double part = std::trunc((a - whole) * kFractionFullScale);
  // fmod of a whole number is exact: the whole seconds modulo 2^32.
  const uint64_t wholeModulo = static_cast<uint64_t>(std::fmod(whole, 4294967296.0));
  const uint64_t move = (wholeModulo << 32) + static_cast<uint64_t>(part);
  return FromValue(backwards ? Value() - move : Value() + move);
}

}  // namespace orvanta
