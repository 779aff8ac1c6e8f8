// NTP timestamps read as calendar time and as the clock's instants, in the era
// nearest the clock across the 2036 wrap; moves; and the calendar below them.
#include "sync/ntp_timestamp.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fake_clock.h"
#include "sync/calendar.h"
#include "sync/ntp_era.h"

namespace orvanta {
namespace {

using test::InstantOf;
using test::MakeUtc;

SystemTime On(uint16_t dayOfWeek, SystemTime utc) { utc.wDayOfWeek = dayOfWeek; return utc; }

// Before, across, back across and long after the wrap. Milliseconds are
// rounded to the nearest: every one comes back from its fraction, and the last
// half millisecond of a second rounds up through every field. The nanoseconds
// of an instant (a nanosecond is about 4.3 fraction units) survive the
// timestamp. (FromSystemTime, which only the tests use, makes the timestamps.)
TEST(NtpTimestampTest, ReadInTheEraNearestTheClock) {
  const struct { SystemTime reference, time; } cases[] = {
      {MakeUtc(2009, 3, 15, 12), On(0, MakeUtc(2009, 3, 15, 12, 34, 56, 789))},
      {MakeUtc(2036, 2, 7, 6, 28, 10), On(4, MakeUtc(2036, 2, 7, 6, 28, 20, 500))},
      {MakeUtc(2036, 2, 7, 6, 28, 20), On(4, MakeUtc(2036, 2, 7, 6, 28, 10))},
      {MakeUtc(2105, 1, 1), On(3, MakeUtc(2104, 12, 31, 23, 59, 59))},
  };
  for (const auto& c : cases) {
    const NtpTimestamp wrapped = NtpTimestamp::FromSystemTime(c.time);
    EXPECT_EQ(ToSystemTimeNearestEra(wrapped, InstantOf(c.reference)), c.time);
    EXPECT_EQ(ToInstantNearestEra(wrapped, InstantOf(c.reference)), InstantOf(c.time));
  }
  for (uint16_t ms = 0; ms < 1000; ++ms) {
    const SystemTime utc = On(0, MakeUtc(2009, 3, 15, 12, 34, 56, ms));
    ASSERT_EQ(ToSystemTimeNearestEra(NtpTimestamp::FromSystemTime(utc), InstantOf(utc)), utc);
  }
  const UtcInstant y2k = InstantOf(MakeUtc(2000, 1, 1));
  const uint32_t s = NtpTimestamp::FromSystemTime(MakeUtc(1999, 12, 31, 23, 59, 59)).seconds;
  EXPECT_EQ(ToSystemTimeNearestEra(NtpTimestamp(s, 0xFFDF3B63), y2k), On(5, MakeUtc(1999, 12, 31, 23, 59, 59, 999)));
  EXPECT_EQ(ToSystemTimeNearestEra(NtpTimestamp(s, 0xFFDF3B64), y2k), On(6, MakeUtc(2000, 1, 1)));
  // The last instant of era 0, rounded up, is the first second of era 1.
  const UtcInstant wrap = InstantOf(MakeUtc(2036, 2, 7, 6, 28, 16));
  EXPECT_EQ(ToSystemTimeNearestEra(NtpTimestamp(~0u, ~0u), wrap), On(4, MakeUtc(2036, 2, 7, 6, 28, 16)));
  EXPECT_EQ(ToInstantNearestEra(NtpTimestamp(~0u, ~0u), wrap), wrap);
  for (uint32_t ns : {0u, 1u, 123456789u, 499999999u, 500000000u, 999999999u}) {
    const UtcInstant instant{wrap.unixSeconds, ns};
    EXPECT_EQ(ToInstantNearestEra(NtpTimestamp::FromInstant(instant), wrap), instant);
  }
}

// A fraction reads as 1/(2^32 - 1) s, so 0xFFFFFFFF units are one second. A
// move drops the part below one unit, wraps modulo 2^64, and ignores NaN.
// (The differences the client takes are measured to the last bit by its own
// test, across the 2036 wrap by the pass's.)
TEST(NtpTimestampTest, Moves) {
  const struct { NtpTimestamp from; double seconds; NtpTimestamp expected; } moves[] = {
      {NtpTimestamp(0, 0), 0.5, NtpTimestamp(0, 0x7FFFFFFF)},
      {NtpTimestamp(10, 0), -1.25, NtpTimestamp(8, 0xC0000001)},
      {NtpTimestamp(0xFFFFFFFF, 0x80000000), 1.0, NtpTimestamp(0, 0x80000000)},
      {NtpTimestamp(0, 0), -0.25, NtpTimestamp(0xFFFFFFFF, 0xC0000001)},
      {NtpTimestamp(7, 5), 4294967296.0 * 3 + 2.0, NtpTimestamp(9, 5)},
      {NtpTimestamp(7, 5), std::nan(""), NtpTimestamp(7, 5)},
      {NtpTimestamp(7, 5), INFINITY, NtpTimestamp(7, 5)},
  };
  for (const auto& m : moves) EXPECT_EQ(m.from.PlusSeconds(m.seconds), m.expected) << m.seconds;
}

// Every day from 0001-01-01 to 9999-12-31, by a month-length rule of our
// own, gets the next day number and comes back from it.
TEST(NtpTimestampTest, EveryDayOfTheCalendar) {
  int32_t number = 1721426;  // 0001-01-01
  for (uint16_t year = 1; year <= 9999; ++year) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    for (uint16_t month = 1; month <= 12; ++month) {
      for (uint16_t day = 1; day <= (month == 2 ? 28 + leap : 30 + (month + month / 8) % 2); ++day, ++number) {
        uint16_t y = 0, m = 0, d = 0;
        DayNumberToDate(number, y, m, d);
        ASSERT_TRUE(DateToDayNumber(year, month, day) == number && y == year && m == month && d == day)
            << year << "-" << month << "-" << day << " or day " << number;
      }
    }
  }
}

}  // namespace
}  // namespace orvanta
