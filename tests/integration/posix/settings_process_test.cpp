// Writers of the settings file in several processes share one lock, and the
// lock of a holder that was killed blocks nobody.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "integration/posix/child_process.h"
#include "platform/file_store.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

TEST(SettingsProcesses, ProcessesLoseNoUpdate) {
  test::TempDir folder;
  const SettingsFile settings(folder.File("orvanta.ini"));
  constexpr int kRounds = 50;
  std::vector<pid_t> children;
  for (int p = 0; p < 4; ++p) {
    children.push_back(::fork());
    ASSERT_GE(children.back(), 0);
    if (children.back() == 0) {
      const std::string key = "process_" + std::to_string(p);
      for (int i = 1; i <= kRounds; ++i) {
        if (!settings.WriteString("COUNTS", key.c_str(), std::to_string(i).c_str())) ::_exit(1);
      }
      ::_exit(0);
    }
  }
  for (int p = 0; p < 4; ++p) {
    EXPECT_EQ(test::ExitStatusOf(children[p]), 0);
    EXPECT_EQ(settings.GetInt("COUNTS", ("process_" + std::to_string(p)).c_str(), 0), uint32_t{kRounds});
  }
}

TEST(SettingsProcesses, LockOfAKilledHolderDoesNotBlock) {
  test::TempDir folder;
  const std::string path = folder.File("orvanta.ini");
  const SettingsFile settings(path);
  ASSERT_TRUE(settings.WriteString("OPTIONS", "period", "5"));
  const pid_t holder = test::StartHolder([&path](auto hold) {
    ReplaceWholeFile(path, [&hold](bool, const std::string&, std::string&) {
      hold(true);  // stays inside the edit, under the lock, until killed
      return false;
    });
  });
  ASSERT_GT(holder, 0);

  // The lock is held across processes, and gone with its holder.
  const int probe = ::open((path + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(test::Kill(holder), -1);
  EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
  ::close(probe);

  EXPECT_TRUE(settings.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(settings.GetInt("OPTIONS", "period", 0), 6u);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"orvanta.ini", "orvanta.ini.lock"}));
}

}  // namespace
}  // namespace orvanta

namespace orvanta {
namespace {

// A settings file reached through a link (a chain of them, the last one
// relative and dangling at first) stays linked: the file at the end is
// written, in its own folder.
TEST(SettingsProcesses, ALinkedSettingsFileStaysLinked) {
  test::TempDir folder;
  ASSERT_EQ(::mkdir(folder.File("shared").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("shared/orvanta.ini", folder.File("middle.ini").c_str()), 0);
  ASSERT_EQ(::symlink(folder.File("middle.ini").c_str(), folder.File("orvanta.ini").c_str()), 0);
  const SettingsFile settings(folder.File("orvanta.ini"));
  ASSERT_TRUE(settings.WriteString("OPTIONS", "period", "60"));
  ASSERT_TRUE(settings.WriteString("OPTIONS", "delay", "5"));
  struct stat status {};
  for (const char* link : {"orvanta.ini", "middle.ini"}) {
    ASSERT_EQ(::lstat(folder.File(link).c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << link;
  }
  EXPECT_EQ(test::ReadBytes(folder.File("shared/orvanta.ini")), "[OPTIONS]\nperiod=60\ndelay=5\n");
  EXPECT_EQ(settings.GetInt("OPTIONS", "period", 0), 60u);
}

}  // namespace
}  // namespace orvanta
