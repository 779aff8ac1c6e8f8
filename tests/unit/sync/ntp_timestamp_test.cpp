#include "sync/ntp_timestamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "support/fake_clock.h"

namespace orvanta {
namespace {

using test::MakeUtc;

SystemTime On(uint16_t dayOfWeek, SystemTime utc) {
  utc.wDayOfWeek = dayOfWeek;
  return utc;
}

std::string Show(const SystemTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u (day %u)", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
  return text;
}

// Calendar time and timestamp, both ways (day of week: 1900-01-01 a Monday).
TEST(NtpTimestampTest, CalendarTimesAndTimestamps) {
  struct Case {
    SystemTime utc;
    NtpTimestamp stamp;
  };
  const Case cases[] = {
      {On(1, MakeUtc(1900, 1, 1)), NtpTimestamp(0, 0)},
      {On(0, MakeUtc(2009, 3, 15, 12, 34, 56, 789)), NtpTimestamp(3446109296u, 0xC9FBE76D)},
      {On(0, MakeUtc(2009, 3, 15, 0, 0, 0, 1)), NtpTimestamp(3446064000u, 4294967)},
      {On(0, MakeUtc(2009, 3, 15, 0, 0, 0, 500)), NtpTimestamp(3446064000u, 0x80000000)},
      {On(0, MakeUtc(2009, 3, 15, 0, 0, 0, 999)), NtpTimestamp(3446064000u, 0xFFBE76C9)},
      {On(4, MakeUtc(2036, 2, 7, 6, 28, 15)), NtpTimestamp(0xFFFFFFFF, 0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NtpTimestamp::FromSystemTime(c.utc), c.stamp) << Show(c.utc);
    EXPECT_EQ(Show(c.stamp.ToSystemTime()), Show(c.utc));
  }
}

TEST(NtpTimestampTest, EveryMillisecondSurvivesTheRoundTrip) {
  for (uint16_t ms = 0; ms < 1000; ++ms) {
    const SystemTime utc = On(0, MakeUtc(2009, 3, 15, 12, 34, 56, ms));
    ASSERT_EQ(Show(NtpTimestamp::FromSystemTime(utc).ToSystemTime()), Show(utc));
  }
}

// Era 0 ends at 2036-02-07 06:28:15; the seconds keep only their low 32 bits.
TEST(NtpTimestampTest, SecondsOutsideEraZeroWrap) {
  const NtpTimestamp next = NtpTimestamp::FromSystemTime(MakeUtc(2036, 2, 7, 6, 28, 16, 250));
  EXPECT_EQ(next, NtpTimestamp(0, 0x40000000));
  EXPECT_EQ(Show(next.ToSystemTime()), Show(On(1, MakeUtc(1900, 1, 1, 0, 0, 0, 250))));
  EXPECT_EQ(NtpTimestamp::FromSystemTime(MakeUtc(1899, 12, 31, 23, 59, 59)).seconds, 0xFFFFFFFFu);
}

// The last half millisecond of a second rounds up into the next second,
// through every field, and past the end of the era to its start.
TEST(NtpTimestampTest, MillisecondsRoundUpIntoTheNextSecond) {
  const uint32_t s = NtpTimestamp::FromSystemTime(MakeUtc(1999, 12, 31, 23, 59, 59)).seconds;
  EXPECT_EQ(Show(NtpTimestamp(s, 0xFFDF3B63).ToSystemTime()), Show(On(5, MakeUtc(1999, 12, 31, 23, 59, 59, 999))));
  EXPECT_EQ(Show(NtpTimestamp(s, 0xFFDF3B64).ToSystemTime()), Show(On(6, MakeUtc(2000, 1, 1))));
  EXPECT_EQ(Show(NtpTimestamp(s, 0xFFFFFFFF).ToSystemTime()), Show(On(6, MakeUtc(2000, 1, 1))));
  EXPECT_EQ(Show(NtpTimestamp(0xFFFFFFFF, 0xFFDF3B64).ToSystemTime()), Show(On(1, MakeUtc(1900, 1, 1))));
}

// A fraction reads as 1/(2^32 - 1) s: 0xFFFFFFFF units are exactly one second.
TEST(NtpTimestampTest, SecondsSince) {
  struct Case {
    NtpTimestamp a, b;
    double expected;
  };
  const Case cases[] = {
      {NtpTimestamp(10, 0), NtpTimestamp(9, 0x80000000), 0.5000000001164153},
      {NtpTimestamp(9, 0x80000000), NtpTimestamp(10, 0), -0.5000000001164153},
      {NtpTimestamp(0, 0xFFFFFFFF), NtpTimestamp(0, 0), 1.0},
      {NtpTimestamp(1, 0), NtpTimestamp(0, 0xFFFFFFFF), 2.3283064370807974e-10},  // a borrow
      {NtpTimestamp(5, 0), NtpTimestamp(4, 1), 1.0},
      {NtpTimestamp(0xFFFFFFFF, 0), NtpTimestamp(1, 0), 4294967294.0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.a.SecondsSince(c.b), c.expected) << c.a.Value() << " - " << c.b.Value();
  EXPECT_FALSE(std::signbit(NtpTimestamp(3, 4).SecondsSince(NtpTimestamp(3, 4))));  // +0.0
}

// The part below one fraction unit is dropped; V wraps modulo 2^64.
TEST(NtpTimestampTest, PlusSeconds) {
  struct Case {
    NtpTimestamp from;
    double seconds;
    NtpTimestamp expected;
  };
  const NtpTimestamp some(3446109296u, 3388729197u);
  const Case cases[] = {
      {NtpTimestamp(0, 0), 0.5, NtpTimestamp(0, 0x7FFFFFFF)},
      {NtpTimestamp(10, 0), -0.5, NtpTimestamp(9, 0x80000001)},
      {NtpTimestamp(10, 0), 1.25, NtpTimestamp(11, 0x3FFFFFFF)},
      {NtpTimestamp(10, 0), -1.25, NtpTimestamp(8, 0xC0000001)},
      {some, 0.0, some},
      {some, -0.0, some},
      {some, std::nan(""), some},
      {some, INFINITY, some},
      {NtpTimestamp(0xFFFFFFFF, 0x80000000), 1.0, NtpTimestamp(0, 0x80000000)},
      {NtpTimestamp(0, 0), -0.25, NtpTimestamp(0xFFFFFFFF, 0xC0000001)},
      {NtpTimestamp(7, 5), 4294967296.0 * 3 + 2.0, NtpTimestamp(9, 5)},
      {NtpTimestamp(7, 5), -(4294967296.0 + 2.0), NtpTimestamp(5, 5)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.from.PlusSeconds(c.seconds), c.expected) << c.seconds;
}

}  // namespace
}  // namespace orvanta
