// The machine-wide named event: guard, automatic reset, pending signals.
#include "platform/named_event.h"

#include <gtest/gtest.h>

#include <unistd.h>  // getpid, MinGW's too

#include <string>

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

}  // namespace
}  // namespace orvanta
