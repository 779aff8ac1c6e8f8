#include "sync/ntp_timestamp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "sync/calendar.h"
#include "support/fake_clock.h"

namespace orvanta {
namespace {

using test::MakeUtc;

SystemTime WithWeekday(SystemTime utc, uint16_t dayOfWeek) {
  utc.wDayOfWeek = dayOfWeek;
  return utc;
}

std::string Show(const SystemTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u (day %u)", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
  return text;
}

::testing::AssertionResult SameTime(const SystemTime& actual, const SystemTime& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Show(actual) << ", expected " << Show(expected);
}

uint64_t Bits(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(MillisecondFractionsTest, TellingEntries) {
  EXPECT_EQ(MillisecondFractions[0], 0u);
  EXPECT_EQ(MillisecondFractions[1], 0x00418937u);
  EXPECT_EQ(MillisecondFractions[2], 8589935u);
  EXPECT_EQ(MillisecondFractions[4], 17179869u);
  EXPECT_EQ(MillisecondFractions[500], 0x80000000u);
  EXPECT_EQ(MillisecondFractions[789], 0xC9FBE76Du);
  EXPECT_EQ(MillisecondFractions[999], 0xFFBE76C9u);
}

// Each entry is the integer nearest to ms x 2^32 / 1000: 1000 x entry is
// less than half a unit (500) away from ms x 2^32.
TEST(MillisecondFractionsTest, EveryEntryIsTheNearestFractionOfItsMillisecond) {
  for (int64_t ms = 0; ms < 1000; ++ms) {
    const int64_t error = 1000 * int64_t{MillisecondFractions[ms]} - ms * 4294967296LL;
    EXPECT_LT(std::llabs(error), 500) << "entry " << ms;
  }
}

TEST(NtpTimestampTest, FromSystemTimeExamples) {
  EXPECT_EQ(NtpTimestamp::FromSystemTime(MakeUtc(1900, 1, 1)), NtpTimestamp(0, 0));
  const NtpTimestamp example = NtpTimestamp::FromSystemTime(MakeUtc(2009, 3, 15, 12, 34, 56, 789));
  EXPECT_EQ(example.seconds, 3446109296u);
  EXPECT_EQ(example.fraction, 3388729197u);
  EXPECT_EQ(NtpTimestamp::FromSystemTime(MakeUtc(2009, 3, 15, 0, 0, 0, 500)).fraction, 0x80000000u);
  EXPECT_EQ(NtpTimestamp::FromSystemTime(MakeUtc(2009, 3, 15, 0, 0, 0, 1)).fraction, 4294967u);
  // The day of the week plays no part.
  EXPECT_EQ(NtpTimestamp::FromSystemTime(WithWeekday(MakeUtc(2009, 3, 15, 12, 34, 56, 789), 5)), example);
}

TEST(NtpTimestampTest, ToSystemTimeExamples) {
  EXPECT_TRUE(SameTime(NtpTimestamp(0, 0).ToSystemTime(), WithWeekday(MakeUtc(1900, 1, 1), 1)));
  EXPECT_TRUE(SameTime(NtpTimestamp(0xFFFFFFFF, 0).ToSystemTime(),
                       WithWeekday(MakeUtc(2036, 2, 7, 6, 28, 15), 4)));
  EXPECT_TRUE(SameTime(NtpTimestamp(3446109296u, 3388729197u).ToSystemTime(),
                       WithWeekday(MakeUtc(2009, 3, 15, 12, 34, 56, 789), 0)));
}

TEST(NtpTimestampTest, EveryMillisecondSurvivesTheRoundTrip) {
  for (uint16_t ms = 0; ms < 1000; ++ms) {
    const SystemTime utc = WithWeekday(MakeUtc(2009, 3, 15, 12, 34, 56, ms), 0);
    ASSERT_TRUE(SameTime(NtpTimestamp::FromSystemTime(utc).ToSystemTime(), utc)) << ms << " ms";
  }
}

// Every day of era 0, each at a different time of day, against a day count
// and a weekday of its own (1900-01-01 was a Monday).
TEST(NtpTimestampTest, EveryDayOfTheEraConvertsBothWays) {
  const int32_t first = DateToDayNumber(1900, 1, 1);
  const int32_t last = DateToDayNumber(2036, 2, 6);
  for (int32_t day = 0; day <= last - first; ++day) {
    uint16_t year = 0, month = 0, dayOfMonth = 0;
    DayNumberToDate(first + day, year, month, dayOfMonth);
    const uint16_t hour = static_cast<uint16_t>(day % 24);
    const uint16_t minute = static_cast<uint16_t>(day * 7 % 60);
    const uint16_t second = static_cast<uint16_t>(day * 13 % 60);
    const SystemTime utc = WithWeekday(
        MakeUtc(year, month, dayOfMonth, hour, minute, second, static_cast<uint16_t>(day % 1000)),
        static_cast<uint16_t>((day + 1) % 7));
    const NtpTimestamp stamp = NtpTimestamp::FromSystemTime(utc);
    ASSERT_EQ(stamp.seconds, uint32_t(day) * 86400u + hour * 3600u + minute * 60u + second) << year << "-" << month
                                                                                           << "-" << dayOfMonth;
    ASSERT_TRUE(SameTime(stamp.ToSystemTime(), utc));
  }
}

TEST(NtpTimestampTest, EraBoundaryWraps) {
  EXPECT_EQ(NtpTimestamp::FromSystemTime(MakeUtc(2036, 2, 7, 6, 28, 15)).seconds, 0xFFFFFFFFu);
  const NtpTimestamp next = NtpTimestamp::FromSystemTime(MakeUtc(2036, 2, 7, 6, 28, 16, 250));
  EXPECT_EQ(next, NtpTimestamp(0, 0x40000000));
  EXPECT_TRUE(SameTime(next.ToSystemTime(), WithWeekday(MakeUtc(1900, 1, 1, 0, 0, 0, 250), 1)));
  EXPECT_TRUE(SameTime(NtpTimestamp::FromSystemTime(MakeUtc(2040, 6, 1, 12)).ToSystemTime(),
                       WithWeekday(MakeUtc(1904, 4, 26, 5, 31, 44), 2)));
  // Before 1900 the seconds count back from 2^32.
  EXPECT_EQ(NtpTimestamp::FromSystemTime(MakeUtc(1899, 12, 31, 23, 59, 59)).seconds, 0xFFFFFFFFu);
}

TEST(NtpTimestampTest, LastHalfMillisecondCarriesIntoTheNextSecond) {
  const SystemTime base = MakeUtc(2009, 3, 15, 12, 34, 56);
  const uint32_t seconds = NtpTimestamp::FromSystemTime(base).seconds;
  EXPECT_TRUE(SameTime(NtpTimestamp(seconds, 0xFFDF3B63).ToSystemTime(),
                       WithWeekday(MakeUtc(2009, 3, 15, 12, 34, 56, 999), 0)));
  const SystemTime carried = WithWeekday(MakeUtc(2009, 3, 15, 12, 34, 57), 0);
  for (uint64_t fraction = 0xFFDF3B64; fraction <= 0xFFFFFFFF; ++fraction) {
    ASSERT_TRUE(SameTime(NtpTimestamp(seconds, static_cast<uint32_t>(fraction)).ToSystemTime(), carried))
        << std::hex << fraction;
  }
  // The carry runs through minute, hour, day, month and year ...
  const uint32_t newYearsEve = NtpTimestamp::FromSystemTime(MakeUtc(1999, 12, 31, 23, 59, 59)).seconds;
  EXPECT_TRUE(SameTime(NtpTimestamp(newYearsEve, 0xFFFFFFFF).ToSystemTime(), WithWeekday(MakeUtc(2000, 1, 1), 6)));
  // ... and past the last second of the era to its first.
  EXPECT_TRUE(SameTime(NtpTimestamp(0xFFFFFFFF, 0xFFDF3B64).ToSystemTime(), WithWeekday(MakeUtc(1900, 1, 1), 1)));
}

TEST(NtpTimestampTest, SecondsSinceExamples) {
  const NtpTimestamp ten(10, 0);
  const NtpTimestamp nineAndAHalf(9, 0x80000000);
  EXPECT_EQ(ten.SecondsSince(nineAndAHalf), 0.5000000001164153);
  EXPECT_EQ(nineAndAHalf.SecondsSince(ten), -0.5000000001164153);
  EXPECT_EQ(Bits(ten.SecondsSince(ten)), Bits(0.0));  // +0.0, not -0.0
  EXPECT_EQ(NtpTimestamp(0, 0xFFFFFFFF).SecondsSince(NtpTimestamp(0, 0)), 1.0);
  // Borrows cross from the fraction into the seconds: one unit apart.
  EXPECT_EQ(NtpTimestamp(1, 0).SecondsSince(NtpTimestamp(0, 0xFFFFFFFF)), 2.3283064370807974e-10);
  EXPECT_EQ(NtpTimestamp(5, 0).SecondsSince(NtpTimestamp(4, 1)), 1.0);
  EXPECT_EQ(NtpTimestamp(0xFFFFFFFF, 0).SecondsSince(NtpTimestamp(1, 0)), 4294967294.0);
}

TEST(NtpTimestampTest, PlusSecondsExamples) {
  EXPECT_EQ(NtpTimestamp(0, 0).PlusSeconds(0.5), NtpTimestamp(0, 0x7FFFFFFF));
  EXPECT_EQ(NtpTimestamp(10, 0).PlusSeconds(-0.5), NtpTimestamp(9, 0x80000001));
  EXPECT_EQ(NtpTimestamp(10, 0).PlusSeconds(1.25), NtpTimestamp(11, 0x3FFFFFFF));
  EXPECT_EQ(NtpTimestamp(10, 0).PlusSeconds(-1.25), NtpTimestamp(8, 0xC0000001));
  const NtpTimestamp some(3446109296u, 3388729197u);
  EXPECT_EQ(some.PlusSeconds(0.0), some);
  EXPECT_EQ(some.PlusSeconds(-0.0), some);
  EXPECT_EQ(some.PlusSeconds(std::nan("")), some);
  EXPECT_EQ(some.PlusSeconds(INFINITY), some);
}

TEST(NtpTimestampTest, PlusSecondsWrapsModuloTwoToTheSixtyFour) {
  EXPECT_EQ(NtpTimestamp(0xFFFFFFFF, 0x80000000).PlusSeconds(1.0), NtpTimestamp(0, 0x80000000));
  EXPECT_EQ(NtpTimestamp(0, 0).PlusSeconds(-0.25), NtpTimestamp(0xFFFFFFFF, 0xC0000001));
  // Whole seconds beyond 32 bits wrap with the value.
  EXPECT_EQ(NtpTimestamp(7, 5).PlusSeconds(4294967296.0 * 3 + 2.0), NtpTimestamp(9, 5));
  EXPECT_EQ(NtpTimestamp(7, 5).PlusSeconds(-(4294967296.0 + 2.0)), NtpTimestamp(5, 5));
  EXPECT_EQ(NtpTimestamp(7, 5).PlusSeconds(1e300).fraction, 5u);
}

TEST(NtpTimestampTest, NowReadsTheClockInForce) {
  test::FakeClock clock(MakeUtc(2009, 3, 15, 12, 34, 56, 789));
  {
    ScopedClockOverride use(clock);
    EXPECT_EQ(NtpTimestamp::Now(), NtpTimestamp(3446109296u, 3388729197u));
  }
  EXPECT_EQ(clock.Readings(), 1u);
  // Without the override the real clock answers: UTC, within a few seconds
  // of the standard library's clock (NTP seconds = Unix seconds + 2208988800).
  const NtpTimestamp now = NtpTimestamp::Now();
  const int64_t unixSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  const uint32_t expected = static_cast<uint32_t>(unixSeconds + 2208988800LL);
  EXPECT_LE(static_cast<uint32_t>(expected - now.seconds + 5), 10u) << now.seconds << " vs " << expected;
  EXPECT_EQ(clock.Readings(), 1u);
  EXPECT_EQ(MillisecondFractions[now.ToSystemTime().wMilliseconds], now.fraction);
}

}  // namespace
}  // namespace orvanta
