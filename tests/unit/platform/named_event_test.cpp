// The machine-wide named event: guard, automatic reset, pending signals.
#include <gtest/gtest.h>

#include <string>

#include "platform/last_error.h"
#include "platform/named_event.h"
#include "support/process_id.h"

namespace orvanta {
namespace {

std::string UniqueName(const char* what) {
  return std::string("Global\\OrvantaTest-") + what + "-" + std::to_string(test::CurrentProcessId());
}

TEST(NamedEventTest, SecondCreationFindsTheFirstAndGuardsNothing) {
  const std::string name = UniqueName("guard");
  auto first = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->AlreadyExisted());

  auto second = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->AlreadyExisted());
  EXPECT_EQ(LastError(), error::kAlreadyExists);
  EXPECT_EQ(second->Wait(0), NamedEvent::WaitResult::kFailed);

  // Once the holder is gone the name is free again.
  second.reset();
  first.reset();
  auto third = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(third);
  EXPECT_FALSE(third->AlreadyExisted());
}

TEST(NamedEventTest, SignalStaysPendingUntilOneWaitConsumesIt) {
  const std::string name = UniqueName("reset");
  auto event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  EXPECT_EQ(event->Wait(0), NamedEvent::WaitResult::kTimedOut);  // created not signalled

  ASSERT_TRUE(SignalNamedEvent(name.c_str()));
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));  // an event is signalled or not: twice is once
  EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignalled);
  EXPECT_EQ(event->Wait(50), NamedEvent::WaitResult::kTimedOut);

  ASSERT_TRUE(event->Signal());
  EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignalled);
}

TEST(NamedEventTest, SignallingAnEventNobodyHoldsFails) {
  EXPECT_FALSE(SignalNamedEvent(UniqueName("nobody").c_str()));
}

}  // namespace
}  // namespace orvanta
