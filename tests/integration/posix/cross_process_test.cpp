// What processes share: the named event, across users, and the settings file
// with its lock. Children are forks of the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/last_error.h"
#include "platform/named_event.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using Wait = NamedEvent::WaitResult;
constexpr char kName[] = "Global\\OrvantaTestEvent";

// Runs body() in a child; the child's pid. Its exit status is body's result.
template <typename Body>
pid_t Fork(Body body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  return child;
}

// The exit status of a child, or -1 when it did not exit normally.
int ExitStatusOf(pid_t child) {
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Held(const std::unique_ptr<NamedEvent>& event) { return event && !event->AlreadyExisted(); }

// Each test has a runtime folder of its own, as root's /run/orvanta is: 0755.
class AcrossProcesses : public testing::Test {
 protected:
  void SetUp() override {
    ::chmod(dir_.Path().c_str(), 0755);
    ::setenv("ORVANTA_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("ORVANTA_RUNTIME_DIR"); }

  test::TempDir dir_;
  const std::string folder_ = dir_.File("run"), settingsPath_ = dir_.File("orvanta.ini");
  const SettingsFile settings_{settingsPath_};
};

TEST_F(AcrossProcesses, NoOtherUserMayHoldOrSignalTheNamedEvent) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // What a process of user nobody gets: 0 when it did what it tried.
  const auto asNobody = [](bool (*act)()) {
    return ExitStatusOf(Fork([act] { return ::setgid(65534) != 0 || ::setuid(65534) != 0 ? 2 : act() ? 0 : 1; }));
  };
  EXPECT_EQ(asNobody([] { return Held(CreateNamedEvent(kName)); }), 1);
  const auto event = CreateNamedEvent(kName);
  ASSERT_TRUE(Held(event)) << LastError();
  EXPECT_EQ(asNobody([] { return SignalNamedEvent(kName); }), 1);
  EXPECT_EQ(event->Wait(200), Wait::kTimedOut);
}

// Signals pile up while nobody waits; once the queue is full the sender is
// told. (A holder killed outright leaves no stale guard: the "debug" end-to-
// end test kills one.)
TEST_F(AcrossProcesses, ASignalNotQueuedIsAFailure) {
  const auto event = CreateNamedEvent(kName);
  ASSERT_TRUE(Held(event)) << LastError();
  int sent = 0;
  while (sent < 100000 && SignalNamedEvent(kName)) ++sent;
  EXPECT_LT(sent, 100000);
  EXPECT_EQ(LastError(), error::kBusy);
  EXPECT_EQ(event->Wait(5000), Wait::kSignalled);
}

// Whoever may write the runtime folder could take or fake the event.
TEST_F(AcrossProcesses, ARuntimeFolderOthersCouldWriteIsRefused) {
  ASSERT_EQ(::mkdir(folder_.c_str(), 0777) | ::chmod(folder_.c_str(), 0777), 0);
  EXPECT_FALSE(CreateNamedEvent(kName));
  EXPECT_EQ(LastError(), error::kAccessDenied);
}

TEST_F(AcrossProcesses, WritersOfTheSettingsFileLoseNoUpdate) {
  pid_t writers[4];
  for (int p = 0; p < 4; ++p) {
    writers[p] = Fork([this, key = std::to_string(p)] {
      int failed = 0;
      for (int i = 1; i <= 50; ++i) failed += !settings_.WriteString("COUNTS", key.c_str(), std::to_string(i).c_str());
      return failed;
    });
  }
  for (int p = 0; p < 4; ++p) {
    EXPECT_EQ(ExitStatusOf(writers[p]), 0);
    EXPECT_EQ(settings_.GetInt("COUNTS", std::to_string(p).c_str(), 0), 50u);
  }
}

// A settings file reached through a chain of links, the last one relative and
// dangling at first, stays linked: the file at the end is written, in its
// own folder.
TEST_F(AcrossProcesses, ALinkedSettingsFileStaysLinked) {
  ASSERT_EQ(::mkdir(dir_.File("shared").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("shared/orvanta.ini", dir_.File("middle.ini").c_str()), 0);
  ASSERT_EQ(::symlink(dir_.File("middle.ini").c_str(), settingsPath_.c_str()), 0);
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", "60") && settings_.WriteString("OPTIONS", "delay", "5"));
  struct stat status {};
  EXPECT_TRUE(::lstat(settingsPath_.c_str(), &status) == 0 && S_ISLNK(status.st_mode));
  EXPECT_EQ(test::ReadBytes(dir_.File("shared/orvanta.ini")), "[OPTIONS]\nperiod=60\ndelay=5\n");
}

}  // namespace
}  // namespace orvanta
