// Timestamps read in the era nearest the clock's own time: right before,
// across and long after the 2036 wrap of the NTP seconds; and the clock's
// instants to and from timestamps without losing the nanoseconds.
#include <gtest/gtest.h>

#include "support/fake_clock.h"
#include "sync/ntp_era.h"

namespace orvanta {
namespace {

using test::InstantOf;
using test::MakeUtc;

SystemTime WithDayOfWeek(SystemTime t, uint16_t dayOfWeek) {
  t.wDayOfWeek = dayOfWeek;
  return t;
}

TEST(NtpEraTest, TimesAroundTheWrapComeBackWhole) {
  struct Case {
    SystemTime reference;
    SystemTime time;
    uint16_t dayOfWeek;
  };
  const Case cases[] = {
      {MakeUtc(2009, 3, 15, 12, 0, 0), MakeUtc(2009, 3, 15, 12, 34, 56, 789), 0},
      {MakeUtc(2036, 2, 7, 6, 28, 10), MakeUtc(2036, 2, 7, 6, 28, 15, 999), 4},
      {MakeUtc(2036, 2, 7, 6, 28, 10), MakeUtc(2036, 2, 7, 6, 28, 20, 500), 4},  // across the wrap
      {MakeUtc(2036, 2, 7, 6, 28, 20), MakeUtc(2036, 2, 7, 6, 28, 10), 4},       // back across it
      {MakeUtc(2040, 6, 1, 0, 0, 0), MakeUtc(2040, 6, 1, 0, 0, 3, 250), 5},
      {MakeUtc(2105, 1, 1), MakeUtc(2104, 12, 31, 23, 59, 59), 3},
  };
  for (const Case& c : cases) {
    const NtpTimestamp wrapped = NtpTimestamp::FromSystemTime(c.time);
    EXPECT_EQ(ToSystemTimeNearestEra(wrapped, InstantOf(c.reference)), WithDayOfWeek(c.time, c.dayOfWeek))
        << c.time.wYear << "-" << c.time.wMonth << "-" << c.time.wDay << " " << c.time.wSecond;
    EXPECT_EQ(ToInstantNearestEra(wrapped, InstantOf(c.reference)), InstantOf(c.time));
  }
  // The last instant of era 0, rounded up, is the first second of era 1.
  const NtpTimestamp last(0xFFFFFFFFu, 0xFFFFFFFFu);
  EXPECT_EQ(ToSystemTimeNearestEra(last, InstantOf(MakeUtc(2036, 2, 7))),
            WithDayOfWeek(MakeUtc(2036, 2, 7, 6, 28, 16, 0), 4));
  EXPECT_EQ(ToInstantNearestEra(last, InstantOf(MakeUtc(2036, 2, 7))), InstantOf(MakeUtc(2036, 2, 7, 6, 28, 16)));
}

// A nanosecond is about 4.3 fraction units: every nanosecond count survives
// the way to a timestamp and back.
TEST(NtpEraTest, InstantsKeepTheirNanoseconds) {
  const UtcInstant reference = InstantOf(MakeUtc(2026, 12, 7, 10));
  for (uint32_t nanoseconds : {0u, 1u, 499999999u, 500000000u, 999999999u, 123456789u}) {
    const UtcInstant instant{reference.unixSeconds, nanoseconds};
    EXPECT_EQ(ToInstantNearestEra(NtpTimestamp::FromInstant(instant), reference), instant) << nanoseconds;
  }
  EXPECT_EQ(NtpTimestamp::FromInstant(UtcInstant{0, 500000000}), NtpTimestamp(2208988800u, 0x80000000u));
}

TEST(NtpEraTest, AgreesWithTheEraZeroConversionInsideEraZero) {
  const UtcInstant reference = InstantOf(MakeUtc(2026, 12, 7, 10, 0, 0));
  for (uint32_t seconds : {0xC0000000u, 0xED000000u, 0xEDCBA987u, 0xF0000000u}) {
    for (uint32_t fraction : {0u, 0x80000000u, 0xFFDF3B64u, 0xFFFFFFFFu}) {
      const NtpTimestamp t(seconds, fraction);
      EXPECT_EQ(ToSystemTimeNearestEra(t, reference), t.ToSystemTime()) << seconds << " " << fraction;
    }
  }
}

}  // namespace
}  // namespace orvanta
