// NTP time: whole seconds since 1900-01-01 00:00:00 UTC (modulo 2^32, no era
// number: era 0 ends at 2036-02-07 06:28:15 UTC) and a binary fraction of a
// second. All arithmetic works on the whole 64-bit value
// V = seconds x 2^32 + fraction, which wraps modulo 2^64.
//
// Two scales of the fraction stand side by side:
//  - milliseconds to fraction (FromSystemTime, Now) uses MillisecondFractions,
//    2^32 per second;
//  - fraction to seconds or milliseconds and back (SignedSecondsSince, PlusSeconds,
//    ToSystemTime) uses 2^32 - 1 per second, so that a fraction difference of
//    0xFFFFFFFF counts as exactly one second.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "platform/system_time.h"

namespace orvanta {

namespace detail {
constexpr std::array<uint32_t, 1000> MakeMillisecondFractions() {
  std::array<uint32_t, 1000> table{};
  for (uint64_t ms = 0; ms < table.size(); ++ms) {
    // ms x 2^32 / 1000 rounded to the nearest integer; no entry falls on a half.
    table[ms] = static_cast<uint32_t>((ms * 4294967296ull + 500) / 1000);
  }
  return table;
}
}  // namespace detail

// The fraction of each millisecond 0-999: [1] = 0x00418937, [500] = 0x80000000.
inline constexpr std::array<uint32_t, 1000> MillisecondFractions = detail::MakeMillisecondFractions();

// Bytes of a timestamp on the wire: seconds, then fraction, both big-endian.
constexpr std::size_t kNtpTimestampWireSize = 8;
// 1970-01-01 00:00:00 UTC in NTP seconds.
constexpr int64_t kUnixEpochInNtpSeconds = 2208988800;
constexpr uint64_t kNanosecondsPerSecond = 1000000000;

struct NtpTimestamp {
  uint32_t seconds = 0;
  uint32_t fraction = 0;

  constexpr NtpTimestamp() = default;
  constexpr NtpTimestamp(uint32_t wholeSeconds, uint32_t fractionOfSecond)
      : seconds(wholeSeconds), fraction(fractionOfSecond) {}

  static constexpr NtpTimestamp FromValue(uint64_t value) {
    return NtpTimestamp(static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value));
  }
  constexpr uint64_t Value() const { return (uint64_t{seconds} << 32) | fraction; }

  // The timestamp whose wire form the 8 bytes are, and the way back.
  static NtpTimestamp FromNetwork(const uint8_t* bytes);
  void ToNetwork(uint8_t* bytes) const;

  // From a UTC calendar time; wDayOfWeek is ignored. Seconds past era 0 keep
  // only their low 32 bits. Milliseconds of 1000 or more carry into the seconds.
  static NtpTimestamp FromSystemTime(const SystemTime& utc);

  // From an instant of the clock, to the nearest fraction unit (2^-32 s);
  // seconds past era 0 keep their low 32 bits.
  static NtpTimestamp FromInstant(const UtcInstant& instant);

  // UTC now, as finely as the clock reads it.
  static NtpTimestamp Now(Clock& clock);

  // UTC calendar time with all eight fields set, always read as era 0
  // (1900-01-01 00:00:00.000 to 2036-02-07 06:28:15.999). Milliseconds are
  // rounded to the nearest; the last half millisecond of a second rounds up
  // into the next second (and past 0xFFFFFFFF seconds to 1900-01-01).
  SystemTime ToSystemTime() const;

  // This minus other in seconds, taken modulo 2^64 as the shorter way
  // round: the way a pair of timestamps is read when they may lie on either
  // side of an era's end (2036), as every exchange's are. Negative when this
  // is the earlier; the two orders of a pair give exactly opposite values.
  double SignedSecondsSince(const NtpTimestamp& other) const;

  // This moved by s seconds (either sign); the part of s below one fraction
  // unit is dropped, whole seconds beyond 32 bits wrap. A NaN or infinite s
  // leaves the timestamp as it is.
  NtpTimestamp PlusSeconds(double s) const;
};

constexpr bool operator==(const NtpTimestamp& a, const NtpTimestamp& b) { return a.Value() == b.Value(); }
constexpr bool operator!=(const NtpTimestamp& a, const NtpTimestamp& b) { return a.Value() != b.Value(); }
constexpr bool operator<(const NtpTimestamp& a, const NtpTimestamp& b) { return a.Value() < b.Value(); }

}  // namespace orvanta
