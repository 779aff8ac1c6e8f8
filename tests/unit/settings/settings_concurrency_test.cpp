// Writers in several threads at once: no update is lost, and a reader never
// sees a half-written file.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

TEST(SettingsConcurrency, ThreadsLoseNoUpdateAndReadersSeeWholeFiles) {
  test::TempDir folder;
  const SettingsFile settings(folder.File("orvanta.ini"));
  ASSERT_TRUE(settings.WriteString("OPTIONS", "period", "5"));

  constexpr int kWriters = 4;
  constexpr int kRounds = 40;
  std::atomic<int> failedWrites{0};
  std::atomic<uint32_t> failure{0};
  std::atomic<int> wholeFileMisses{0};
  std::atomic<int> countsGoingBack{0};
  std::atomic<bool> writing{true};

  std::thread reader([&] {
    int last[kWriters] = {};
    while (writing.load()) {
      if (settings.GetInt("OPTIONS", "period", 0) != 5) ++wholeFileMisses;
      for (int w = 0; w < kWriters; ++w) {
        const int count = static_cast<int>(settings.GetInt("COUNTS", ("writer_" + std::to_string(w)).c_str(), 0));
        if (count < last[w]) ++countsGoingBack;
        last[w] = count;
      }
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&settings, &failedWrites, &failure, w] {
      const std::string key = "writer_" + std::to_string(w);
      for (int i = 1; i <= kRounds; ++i) {
        if (!settings.WriteString("COUNTS", key.c_str(), std::to_string(i).c_str())) {
          failure = LastError();
          ++failedWrites;
        }
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  writing = false;
  reader.join();

  EXPECT_EQ(failedWrites.load(), 0) << "last error " << failure.load();
  EXPECT_EQ(wholeFileMisses.load(), 0);
  EXPECT_EQ(countsGoingBack.load(), 0);
  for (int w = 0; w < kWriters; ++w) {
    EXPECT_EQ(settings.GetInt("COUNTS", ("writer_" + std::to_string(w)).c_str(), 0), static_cast<uint32_t>(kRounds));
  }
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"orvanta.ini", "orvanta.ini.lock"}));
}

}  // namespace
}  // namespace orvanta
