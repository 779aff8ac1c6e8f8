// A clock set in milliseconds (Windows) takes the nearest one: a truncation
// would leave it behind by half a millisecond on average.
#include <gtest/gtest.h>

#include "platform/clock.h"

namespace orvanta {
namespace {

TEST(ClockRoundingTest, NearestMillisecondCarryingIntoTheSecond) {
  const struct { uint32_t nanoseconds; UtcInstant rounded; } cases[] = {
      {0, {100, 0}},         {499999, {100, 0}},    {500000, {100, 1000000}}, {1499999, {100, 1000000}},
      {999499999, {100, 999000000}}, {999500000, {101, 0}}, {999999999, {101, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundedToMilliseconds(UtcInstant{100, c.nanoseconds}), c.rounded) << c.nanoseconds;
  }
}

}  // namespace
}  // namespace orvanta
