// The portable parts of the platform layer: the machine-wide named event
// (guard, automatic reset, pending signals) and the clock's rounding.
#include <gtest/gtest.h>

#include <unistd.h>  // getpid, MinGW's too

#include <string>

#include "platform/clock.h"
#include "platform/named_event.h"

namespace orvanta {
namespace {

TEST(NamedEventTest, GuardAutomaticResetAndPendingSignal) {
  const std::string name = "Global\\OrvantaTest-" + std::to_string(getpid());
  EXPECT_FALSE(SignalNamedEvent(name.c_str())) << "nobody holds it";
  auto event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  EXPECT_FALSE(event->AlreadyExisted());
  // A second creation finds the first and guards nothing.
  auto second = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->AlreadyExisted());
  EXPECT_EQ(second->Wait(0), NamedEvent::WaitResult::kFailed);
  second.reset();

  EXPECT_EQ(event->Wait(0), NamedEvent::WaitResult::kTimedOut);  // created not signalled
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));  // signalled or not: twice is once
  EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignalled);
  EXPECT_EQ(event->Wait(50), NamedEvent::WaitResult::kTimedOut);
  ASSERT_TRUE(event->Signal());
  EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignalled);

  // Once the holder is gone the name is free again.
  event.reset();
  event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  EXPECT_FALSE(event->AlreadyExisted());
}

// A clock set in milliseconds (Windows) takes the nearest one: a truncation
// would leave it behind by half a millisecond on average.
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
