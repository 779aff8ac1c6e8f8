// The named event across processes and users: only root or the holder's own
// user may hold or signal it, a signal that was not queued is reported as
// such, the runtime folder must be nobody else's, and a killed holder leaves
// no stale guard.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "integration/posix/child_process.h"
#include "platform/last_error.h"
#include "platform/named_event.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using Wait = NamedEvent::WaitResult;
constexpr uid_t kNobody = 65534;

// A runtime folder of the test's own, as root's /run/orvanta is: 0755.
class NamedEventPosix : public testing::Test {
 protected:
  void SetUp() override {
    ::chmod(dir_.Path().c_str(), 0755);
    setenv("ORVANTA_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override { unsetenv("ORVANTA_RUNTIME_DIR"); }

  // What a process of another user gets: 0 when it did what it tried.
  int AsNobody(bool (*act)(const std::string&)) {
    return test::RunInChild([&] {
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return 2;
      return act(name_) ? 0 : 1;
    });
  }

  test::TempDir dir_;
  std::string folder_ = dir_.File("run");
  std::string name_ = "Global\\" + test::UniqueName("event");
};

TEST_F(NamedEventPosix, NoOtherUserMayHoldOrSignalIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const auto hold = [](const std::string& name) {
    const auto event = CreateNamedEvent(name.c_str());
    return event && !event->AlreadyExisted();
  };
  const auto signal = [](const std::string& name) { return SignalNamedEvent(name.c_str()); };
  // Before anybody holds it, and while root holds it.
  EXPECT_EQ(AsNobody(hold), 1);
  const auto event = CreateNamedEvent(name_.c_str());
  ASSERT_TRUE(event && !event->AlreadyExisted()) << LastError();
  EXPECT_EQ(AsNobody(hold), 1);
  EXPECT_EQ(AsNobody(signal), 1);
  EXPECT_EQ(event->Wait(200), Wait::kTimedOut);
  ASSERT_TRUE(SignalNamedEvent(name_.c_str()));
  EXPECT_EQ(event->Wait(5000), Wait::kSignalled);
}

// Signals pile up while nobody waits; once the queue is full the sender is
// told, and one wait still takes them all.
TEST_F(NamedEventPosix, ASignalThatWasNotQueuedIsAFailure) {
  const auto event = CreateNamedEvent(name_.c_str());
  ASSERT_TRUE(event && !event->AlreadyExisted()) << LastError();
  int sent = 0;
  while (sent < 100000 && SignalNamedEvent(name_.c_str())) ++sent;
  EXPECT_GT(sent, 0);
  EXPECT_LT(sent, 100000);
  EXPECT_EQ(LastError(), error::kBusy);
  EXPECT_EQ(event->Wait(5000), Wait::kSignalled);
  EXPECT_EQ(event->Wait(50), Wait::kTimedOut);
  EXPECT_TRUE(SignalNamedEvent(name_.c_str()));
}

TEST_F(NamedEventPosix, ARuntimeFolderOthersCouldWriteIsRefused) {
  ASSERT_EQ(::mkdir(folder_.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
  EXPECT_FALSE(CreateNamedEvent(name_.c_str()));
  EXPECT_EQ(LastError(), error::kAccessDenied);
  ASSERT_EQ(::rmdir(folder_.c_str()), 0);
  ASSERT_EQ(::symlink(dir_.Path().c_str(), folder_.c_str()), 0);  // a link to an honest folder
  EXPECT_FALSE(CreateNamedEvent(name_.c_str()));
}

TEST_F(NamedEventPosix, KilledHolderLeavesNoStaleGuard) {
  const pid_t holder = test::StartHolder([this](auto hold) {
    auto event = CreateNamedEvent(name_.c_str());
    hold(event && !event->AlreadyExisted());
  });
  ASSERT_GT(holder, 0);
  EXPECT_TRUE(CreateNamedEvent(name_.c_str())->AlreadyExisted());
  EXPECT_EQ(test::Kill(holder), -1);
  auto event = CreateNamedEvent(name_.c_str());
  ASSERT_TRUE(event);
  EXPECT_FALSE(event->AlreadyExisted());
  ASSERT_TRUE(SignalNamedEvent(name_.c_str()));  // the dead holder's socket is gone, the new one listens
  EXPECT_EQ(event->Wait(5000), Wait::kSignalled);
}

}  // namespace
}  // namespace orvanta
