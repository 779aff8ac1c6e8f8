// The named event across processes: only the holder's own user (or root) may
// signal it, and a killed holder leaves no stale guard.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "integration/posix/child_process.h"
#include "platform/named_event.h"

namespace orvanta {
namespace {

using Wait = NamedEvent::WaitResult;

TEST(NamedEventPosix, OnlyTheHoldersUserMaySignalIt) {
  const std::string name = test::UniqueName("event");
  auto event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  const auto signalAs = [&name](uid_t user) {
    return test::RunInChild([&] {
      if (user != ::geteuid() && (::setgid(user) != 0 || ::setuid(user) != 0)) return 2;
      return SignalNamedEvent(name.c_str()) ? 0 : 1;
    });
  };
  ASSERT_EQ(signalAs(::geteuid()), 0);
  EXPECT_EQ(event->Wait(5000), Wait::kSignalled);

  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const uid_t nobody = 65534;
  ASSERT_EQ(signalAs(nobody), 0);  // the datagram went out...
  EXPECT_EQ(event->Wait(200), Wait::kTimedOut);  // ...and was no signal
  // A stranger's datagram between two signals splits nothing: one wait takes all.
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));
  ASSERT_EQ(signalAs(nobody), 0);
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));
  EXPECT_EQ(event->Wait(5000), Wait::kSignalled);
  EXPECT_EQ(event->Wait(50), Wait::kTimedOut);
}

TEST(NamedEventPosix, KilledHolderLeavesNoStaleGuard) {
  const std::string name = test::UniqueName("guard");
  const pid_t holder = test::StartHolder([&name](auto hold) {
    auto event = CreateNamedEvent(name.c_str());
    hold(event && !event->AlreadyExisted());
  });
  ASSERT_GT(holder, 0);
  EXPECT_TRUE(CreateNamedEvent(name.c_str())->AlreadyExisted());
  EXPECT_EQ(test::Kill(holder), -1);
  auto event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  EXPECT_FALSE(event->AlreadyExisted());
}

}  // namespace
}  // namespace orvanta
