// Writers in several processes share the lock, and the lock of a process that
// was killed while holding it does not block anyone. POSIX only: the Windows
// run covers the same lock between threads.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_store.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

// Waits for a child and answers its exit status, or -1 when it did not exit normally.
int ExitStatusOf(pid_t child) {
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(SettingsProcesses, ProcessesLoseNoUpdate) {
  test::TempDir folder;
  const SettingsFile settings(folder.File("orvanta.ini"));
  constexpr int kProcesses = 4;
  constexpr int kRounds = 50;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const std::string key = "process_" + std::to_string(p);
      for (int i = 1; i <= kRounds; ++i) {
        if (!settings.WriteString("COUNTS", key.c_str(), std::to_string(i).c_str())) ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) EXPECT_EQ(ExitStatusOf(child), 0);
  for (int p = 0; p < kProcesses; ++p) {
    EXPECT_EQ(settings.GetInt("COUNTS", ("process_" + std::to_string(p)).c_str(), 0), static_cast<uint32_t>(kRounds));
  }
}

TEST(SettingsProcesses, LockOfAKilledHolderDoesNotBlock) {
  test::TempDir folder;
  const std::string path = folder.File("orvanta.ini");
  const SettingsFile settings(path);
  ASSERT_TRUE(settings.WriteString("OPTIONS", "period", "5"));

  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    // Takes the lock, says so, and stays inside the edit until killed.
    ReplaceWholeFile(path, [&](bool, const std::string&, std::string&) {
      const char signal = 'L';
      if (::write(ready[1], &signal, 1) != 1) ::_exit(2);
      for (;;) ::pause();
      return false;
    });
    ::_exit(1);
  }
  ::close(ready[1]);
  char signal = 0;
  ASSERT_EQ(::read(ready[0], &signal, 1), 1);
  ::close(ready[0]);

  // The lock is really held across processes...
  const int probe = ::open((path + ".lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);

  // ...and gone with its holder, though its file stays.
  ASSERT_EQ(::kill(holder, SIGKILL), 0);
  EXPECT_EQ(ExitStatusOf(holder), -1);
  EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
  ::close(probe);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"orvanta.ini", "orvanta.ini.lock"}));

  // A writer gets through (a hang here would be the fault; give it long).
  auto done = std::make_shared<std::promise<bool>>();
  std::future<bool> written = done->get_future();
  std::thread([settings, done] { done->set_value(settings.WriteString("OPTIONS", "period", "6")); }).detach();
  ASSERT_EQ(written.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_TRUE(written.get());
  EXPECT_EQ(settings.GetInt("OPTIONS", "period", 0), 6u);
}

}  // namespace
}  // namespace orvanta

#endif  // _WIN32
