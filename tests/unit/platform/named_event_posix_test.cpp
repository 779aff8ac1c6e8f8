// Linux only: the named event across processes. A crashed holder leaves no
// stale guard, and only root or the holder's own user may signal it.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/named_event.h"

namespace orvanta {
namespace {

std::string UniqueName(const char* what) {
  return std::string("Global\\OrvantaTest-") + what + "-" + std::to_string(getpid());
}

// Runs body in a forked child and answers its exit status.
template <typename Body>
int RunInChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(NamedEventPosixTest, AnotherProcessSignalsTheHolder) {
  const std::string name = UniqueName("cross");
  auto event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  ASSERT_EQ(RunInChild([&] { return SignalNamedEvent(name.c_str()) ? 0 : 1; }), 0);
  EXPECT_EQ(event->Wait(5000), NamedEvent::WaitResult::kSignalled);
}

TEST(NamedEventPosixTest, KilledHolderLeavesNoStaleGuard) {
  const std::string name = UniqueName("crash");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    auto event = CreateNamedEvent(name.c_str());
    const char byte = event && !event->AlreadyExisted() ? 'y' : 'n';
    (void)!write(ready[1], &byte, 1);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);
  close(ready[1]);
  ASSERT_EQ(byte, 'y');
  EXPECT_TRUE(CreateNamedEvent(name.c_str())->AlreadyExisted());

  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  auto event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  EXPECT_FALSE(event->AlreadyExisted());
}

TEST(NamedEventPosixTest, SignalsFromOtherUsersAreIgnored) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const std::string name = UniqueName("stranger");
  auto event = CreateNamedEvent(name.c_str());
  ASSERT_TRUE(event);
  const int sent = RunInChild([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) return 2;
    return SignalNamedEvent(name.c_str()) ? 0 : 1;
  });
  ASSERT_EQ(sent, 0);  // the datagram went out...
  EXPECT_EQ(event->Wait(200), NamedEvent::WaitResult::kTimedOut);  // ...and was not taken as a signal
  // The holder's own signal still gets through afterwards.
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));
  EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignalled);

  // A stranger's datagram between two signals splits nothing: one wait
  // consumes both signals, as it would two signals in a row.
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));
  ASSERT_EQ(RunInChild([&] {
              if (setgid(65534) != 0 || setuid(65534) != 0) return 2;
              return SignalNamedEvent(name.c_str()) ? 0 : 1;
            }),
            0);
  ASSERT_TRUE(SignalNamedEvent(name.c_str()));
  EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignalled);
  EXPECT_EQ(event->Wait(50), NamedEvent::WaitResult::kTimedOut);
}

}  // namespace
}  // namespace orvanta
#endif
