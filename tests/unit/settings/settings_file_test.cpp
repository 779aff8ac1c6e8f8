// The settings file on disk: its path, reads and typed readers, whole-file
// writes and their refusals, structure values, and writers at the same time.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_store.h"
#include "platform/last_error.h"
#include "settings/factory_servers.h"
#include "settings/settings_keys.h"
#include "settings/settings_readers.h"
#include "settings/struct_encoding.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using Names = std::vector<std::string>;

TEST(SettingsPath, ReplacesOrAddsTheExtensionOfTheFileName) {
  const std::string folder = "/" + std::string(250, 'f') + "/";  // 252 characters
  const bool backslash = IsFolderSeparator('\\');
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/bin/orvanta", "/usr/bin/orvanta.ini"}, {"/opt/a.b/prog.x.exe", "/opt/a.b/prog.x.ini"},
      {"/opt/a.b/prog", "/opt/a.b/prog.ini"},       {"/x/.prog", "/x/.prog.ini"},
      {"/x/.prog.bin", "/x/.prog.ini"},             {"prog.", "prog.ini"},
      {"/x/", ""},                                  {"", ""},
      {folder + "abc.exe", folder + "abc.ini"},     {folder + "abc", folder + "abc.ini"},  // 259 fit
      {folder + "abcd.exe", ""},                    {folder + "abcd", ""},
      {"C:\\Tools\\sync.exe", "C:\\Tools\\sync.ini"},
      {"C:/a.b\\.prog", backslash ? "C:/a.b\\.prog.ini" : "C:/a.b\\.ini"},
  };
  for (const auto& [executable, expected] : cases) EXPECT_EQ(SettingsFile::PathForExecutable(executable), expected);
}

class SettingsFileTest : public testing::Test {
 protected:
  std::string Bytes() const { return test::ReadBytes(path_); }
  void Store(const std::string& bytes) const { test::WriteBytes(path_, bytes); }

  test::TempDir folder_;
  std::string path_ = folder_.File("orvanta.ini");
  SettingsFile settings_{path_};
};

TEST_F(SettingsFileTest, ReadsLikeTheProfileFunctions) {
  char buffer[16] = "untouched";
  EXPECT_EQ(settings_.GetInt("OPTIONS", "period", -5), static_cast<uint32_t>(-5));  // no file
  EXPECT_EQ(settings_.GetString("S", "k", "fallback  ", buffer, sizeof buffer), 8u);
  EXPECT_STREQ(buffer, "fallback");
  EXPECT_EQ(folder_.Names(), Names{});  // reading created nothing

  Store("[OPTIONS]\r\nperiod = -1\r\ndelay=''\r\nword=abc\r\n[S]\nk=\"time.example\"\n");
  EXPECT_EQ(settings_.GetInt("options", "PERIOD", 120), 0xFFFFFFFFu);
  EXPECT_EQ(settings_.GetInt("OPTIONS", "delay", 33), 33u);  // empty once unquoted: the default
  EXPECT_EQ(settings_.GetInt("OPTIONS", "word", 33), 0u);
  EXPECT_EQ(settings_.GetString("S", "k", "", buffer, 0), 0u);
  EXPECT_STREQ(buffer, "fallback");  // size 0: nothing written
  EXPECT_EQ(settings_.GetString("S", "k", "", buffer, 5), 4u);
  EXPECT_STREQ(buffer, "time");
  EXPECT_EQ(settings_.GetString("S", "k", 13), "time.example");  // exactly fits
}

TEST_F(SettingsFileTest, PeriodAndDelayAreClamped) {
  const struct { const char* lines; uint32_t minutes, delayMs; } cases[] = {
      {"", 120, 4000}, {"period=0\ndelay=0", 120, 4000}, {"period=\ndelay=", 120, 4000},
      {"period=1\ndelay=5", 1, 5000}, {"period=+-5\ndelay=4", 120, 4000}, {"period= '45' \ndelay=0x10", 45, 4000},
      {"period=12abc\ndelay=86400", 12, 86400000}, {"period=9999\ndelay=86401", 9999, 10000},
      {"period=10000\ndelay=-1", 9999, 10000},
      // Beyond 32 bits the numbers saturate rather than wrap (to 1, 0 and -1).
      {"period=-1\ndelay=4294967297", 9999, 10000}, {"period=4294967297\ndelay=4294967296", 9999, 10000},
      {"period=4294967296\ndelay=-4294967297", 9999, 10000},
  };
  for (const auto& c : cases) {
    Store(std::string("[OPTIONS]\n") + c.lines + "\n");
    EXPECT_EQ(ReadPeriodMinutes(settings_), c.minutes) << c.lines;
    EXPECT_EQ(ReadOnceDelayMs(settings_), c.delayMs) << c.lines;
  }
}

TEST_F(SettingsFileTest, ServerListEndsAtTheFirstMissingOrEmptyKey) {
  using List = std::vector<std::string>;
  const std::pair<std::string, List> cases[] = {
      {"", {kFactoryServers[1]}},
      {"server_1=a\nserver_3=c\n", {"a"}},
      {"server_1=a\nserver_2=\nserver_3=c\n", {"a"}},
      {"server_1=\nserver_2=b\n", {kFactoryServers[1]}},
      {"SERVER_2 = 'b' \r\nserver_1=a\r\nserver_1=dup\r\n[OTHER]\r\nserver_3=x\r\n[SERVERS]\r\nserver_3=late\r\n",
       {"a", "b"}},  // the first section and the first key only
      {"server_1=" + std::string(300, 'n') + "\n", {std::string(kServerNameSize - 1, 'n')}},
  };
  for (const auto& [lines, expected] : cases) {
    Store("[servers]\n" + lines);
    List list{"left over"};
    LoadServerList(settings_, list);
    EXPECT_EQ(list, expected) << lines;
  }
}

TEST_F(SettingsFileTest, StructuresRoundTripAndOnlyWholeOnesAreRead) {
  unsigned char bytes[256], back[256] = {};
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(255 - i);
  ASSERT_TRUE(settings_.WriteStruct("INFO", "all", bytes, sizeof bytes));
  ASSERT_TRUE(settings_.GetStruct("INFO", "all", back, sizeof back));
  EXPECT_EQ(std::string(bytes, bytes + 256), std::string(back, back + 256));

  // 2009-03-15 (Sunday) 00:03:57.894 as a SystemTime; its bytes sum to 0x1AF.
  const std::string good = "D907030000000F000000030039007E03AF";
  const std::pair<std::string, uint32_t> cases[] = {
      {good, 0}, {"'d907030000000f000000030039007e03af'", 0},  // either case, quotes
      {"", kStructErrorBadLength}, {good.substr(1), kStructErrorBadLength}, {good + "0", kStructErrorBadLength},
      {good.substr(0, 32) + "AE", kStructErrorInvalidData}, {"G" + good.substr(1), kStructErrorInvalidData},
  };
  for (const auto& [text, error] : cases) {
    Store("[INFO]\nlast=" + text + "\n");
    SystemTime time{1234};
    SetLastError(0);
    EXPECT_EQ(ReadLastSync(settings_, time), error == 0) << text;
    EXPECT_EQ(LastError(), error) << text;
    EXPECT_EQ(time.wYear, error == 0 ? 2009 : 1234) << text;
    if (error == 0) { EXPECT_EQ(EncodeStruct(&time, sizeof time), good); }
  }
  EXPECT_FALSE(settings_.GetStruct("INFO", "missing", bytes, 16));
  EXPECT_EQ(LastError(), kStructErrorBadLength);

  const SystemTime when{2024, 5, 3, 15, 23, 59, 58, 999};
  ASSERT_TRUE(WriteSyncResult(settings_, when, -0.2504));
  SystemTime time;
  ASSERT_TRUE(ReadLastSync(settings_, time));
  EXPECT_EQ(time, when);
  EXPECT_EQ(settings_.GetString(kSectionInfo, kKeyAdjusted, kAdjustedSize), "-0.250");
}

TEST_F(SettingsFileTest, WritesReplaceTheWholeFileKeepingEverythingElse) {
  const std::string nl = NativeLineBreak();
  ASSERT_TRUE(settings_.WriteString("SERVERS", "server_1", "a.example"));
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", ""));
  EXPECT_EQ(Bytes(), "[SERVERS]" + nl + "server_1=a.example" + nl + "[OPTIONS]" + nl + "period=" + nl);

  Store("; keep me\n[INFO]\nadjusted=1\n\n[X]\nodd line\n");
  std::filesystem::permissions(path_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const auto mode = std::filesystem::status(path_).permissions();
  ASSERT_TRUE(settings_.Write({{"info", "ADJUSTED", "-0.250"}, {"INFO", "last", "X"}, {"OPTIONS", "period", "5"}}));
  EXPECT_EQ(Bytes(), "; keep me\n[INFO]\nadjusted=-0.250\nlast=X\n\n[X]\nodd line\n[OPTIONS]\nperiod=5\n");
  EXPECT_EQ(std::filesystem::status(path_).permissions(), mode);

  // What a killed writer left before its rename goes; nothing else does.
  test::WriteBytes(folder_.File("orvanta.ini.~4242-7.tmp"), "[OPTIONS]\nperi");
  test::WriteBytes(folder_.File("orvanta.ini.~1-2.bak"), "mine");
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(folder_.Names(), (Names{"orvanta.ini", "orvanta.ini.lock", "orvanta.ini.~1-2.bak"}));
}

TEST_F(SettingsFileTest, RefusedWritesLeaveTheFileAsItWas) {
  const std::string before = "[OPTIONS]\nperiod=5\n";
  Store(before);
  const struct { const char *section, *key, *value; } injections[] = {
      {"OPTIONS", "period", "5\r\n[SERVERS]\r\nserver_1=evil"}, {"OPTIONS", "period", "5\rx"},
      {"OPTIONS", "per\niod", "1"}, {"OPTIONS", "a=b", "1"},   {"OPTIONS", ";period", "1"},
      {"OPTIONS", "[period]", "1"}, {"OPT]IONS", "period", "1"}, {"OPT\rIONS", "period", "1"},
      {"  ", "period", "1"},        {"OPTIONS", "", "1"},        {nullptr, "period", "1"},
      {"OPTIONS", nullptr, "1"},    {"OPTIONS", "period", nullptr},
  };
  for (const auto& b : injections) {
    SetLastError(0);
    EXPECT_FALSE(settings_.WriteString(b.section, b.key, b.value)) << (b.value ? b.value : "(null)");
    EXPECT_EQ(LastError(), error::kInvalidParameter);
  }
  // One bad change refuses them all.
  EXPECT_FALSE(settings_.Write({{"OPTIONS", "period", "6"}, {"INFO", "last", std::string("a\0b", 3)}}));
  EXPECT_EQ(Bytes(), before);

  test::MakeReadOnly(path_);
  EXPECT_FALSE(settings_.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kAccessDenied);
  EXPECT_EQ(Bytes(), before);
  EXPECT_FALSE(SettingsFile(folder_.File("none/orvanta.ini")).WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kPathNotFound);
  EXPECT_FALSE(SettingsFile("").WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kPathNotFound);
  std::filesystem::create_directory(folder_.File("dir"));
  EXPECT_FALSE(SettingsFile(folder_.File("dir")).WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kAccessDenied);
  EXPECT_EQ(folder_.Names(), (Names{"dir", "dir.lock", "orvanta.ini", "orvanta.ini.lock"}));  // no temporary
}

// Writers in several threads: no update is lost, and a reader never sees a
// half-written file.
TEST_F(SettingsFileTest, WritersAtTheSameTimeLoseNoUpdate) {
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", "5"));
  constexpr uint32_t kRounds = 40;
  std::atomic<int> failed{0}, done{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([this, w, &failed, &done] {
      const std::string key = "writer_" + std::to_string(w);
      for (uint32_t i = 1; i <= kRounds; ++i) {
        failed += !settings_.WriteString("C", key.c_str(), std::to_string(i).c_str());
      }
      ++done;
    });
  }
  int halfFiles = 0;
  while (done < 4) halfFiles += settings_.GetInt("OPTIONS", "period", 0) != 5u;
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(halfFiles, 0);
  for (int w = 0; w < 4; ++w) EXPECT_EQ(settings_.GetInt("C", ("writer_" + std::to_string(w)).c_str(), 0), kRounds);
}

}  // namespace
}  // namespace orvanta
