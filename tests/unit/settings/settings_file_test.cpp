// The profile operations on a real file: path rule, reads, writes and their failures.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/file_store.h"
#include "platform/last_error.h"
#include "platform/system_time.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(SettingsPath, ReplacesOrAddsTheExtensionOfTheFileName) {
  EXPECT_EQ(SettingsFile::PathForExecutable("/usr/local/bin/orvanta"), "/usr/local/bin/orvanta.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable("/opt/sync.exe"), "/opt/sync.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable("/opt/a.b/prog"), "/opt/a.b/prog.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable("/opt/a.b/prog.x.exe"), "/opt/a.b/prog.x.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable("/x/.prog"), "/x/.prog.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable("/x/.prog.bin"), "/x/.prog.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable("prog."), "prog.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable("/x/"), "");
  EXPECT_EQ(SettingsFile::PathForExecutable(""), "");
  // The backslash separates folders only where the platform says so.
  if (IsFolderSeparator('\\')) {
    EXPECT_EQ(SettingsFile::PathForExecutable("C:\\Tools\\sync.exe"), "C:\\Tools\\sync.ini");
    EXPECT_EQ(SettingsFile::PathForExecutable("C:\\a.b\\prog"), "C:\\a.b\\prog.ini");
    EXPECT_EQ(SettingsFile::PathForExecutable("C:/a.b\\.prog"), "C:/a.b\\.prog.ini");
  } else {
    EXPECT_EQ(SettingsFile::PathForExecutable("C:\\Tools\\sync.exe"), "C:\\Tools\\sync.ini");
    EXPECT_EQ(SettingsFile::PathForExecutable("/x/C:\\a.b\\prog"), "/x/C:\\a.ini");
  }
}

TEST(SettingsPath, IsEmptyWhenTheResultWouldNotFit) {
  const std::string folder = "/" + std::string(250, 'f') + "/";
  ASSERT_EQ(folder.size(), 252u);
  EXPECT_EQ(SettingsFile::PathForExecutable(folder + "abc.exe"), folder + "abc.ini");  // 259 + terminator
  EXPECT_EQ(SettingsFile::PathForExecutable(folder + "abc"), folder + "abc.ini");
  EXPECT_EQ(SettingsFile::PathForExecutable(folder + "abcd.exe"), "");                 // 260 + terminator
  EXPECT_EQ(SettingsFile::PathForExecutable(folder + "abcd"), "");
}

class SettingsFileTest : public testing::Test {
 protected:
  std::string Bytes() const { return ReadBytes(path_); }
  void Store(const std::string& bytes) const { WriteBytes(path_, bytes); }

  TempDir folder_;
  std::string path_ = folder_.File("orvanta.ini");
  SettingsFile settings_{path_};
};

TEST_F(SettingsFileTest, MissingFileReadsAsNoKeys) {
  char buffer[16] = "untouched";
  EXPECT_EQ(settings_.GetInt("OPTIONS", "period", 120), 120u);
  EXPECT_EQ(settings_.GetInt("OPTIONS", "period", -5), static_cast<uint32_t>(-5));
  EXPECT_EQ(settings_.GetString("SERVERS", "server_1", "fallback  ", buffer, sizeof buffer), 8u);
  EXPECT_STREQ(buffer, "fallback");  // trailing blanks of the default go
  EXPECT_EQ(settings_.GetString("SERVERS", "server_1", 260), "");
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{});  // reading created nothing

  SettingsFile nowhere{""};
  EXPECT_EQ(nowhere.GetInt("OPTIONS", "period", 7), 7u);
  SetLastError(0);
  EXPECT_FALSE(nowhere.WriteString("OPTIONS", "period", "1"));
  EXPECT_EQ(LastError(), error::kPathNotFound);
}

TEST_F(SettingsFileTest, ReadsIntegersAndStringsLikeTheProfileFunctions) {
  Store("[OPTIONS]\r\nperiod = -1\r\ndelay=''\r\nword=abc\r\n"
        "[SERVERS]\nserver_1=\"time.example\"\nlong=0123456789\n");
  EXPECT_EQ(settings_.GetInt("options", "PERIOD", 120), 0xFFFFFFFFu);
  EXPECT_EQ(settings_.GetInt("OPTIONS", "delay", 33), 33u);  // empty once unquoted: the default
  EXPECT_EQ(settings_.GetInt("OPTIONS", "word", 33), 0u);    // present, no digits
  EXPECT_EQ(settings_.GetInt(nullptr, "period", 33), 33u);

  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(settings_.GetString("SERVERS", "server_1", "", buffer, 0), 0u);
  EXPECT_EQ(buffer[0], 'x');  // size 0: nothing written
  EXPECT_EQ(settings_.GetString("SERVERS", "server_1", "", buffer, 1), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(settings_.GetString("SERVERS", "server_1", "", buffer, 5), 4u);
  EXPECT_STREQ(buffer, "time");
  EXPECT_EQ(settings_.GetString("SERVERS", "server_1", "", buffer, 13), 12u);  // exactly fits
  EXPECT_STREQ(buffer, "time.example");
  EXPECT_EQ(settings_.GetString("SERVERS", "long", 11), "0123456789");
  EXPECT_EQ(settings_.GetString("SERVERS", "long", 10), "012345678");
  EXPECT_EQ(settings_.GetString("SERVERS", "server_1", nullptr, nullptr, 10), 0u);
}

TEST_F(SettingsFileTest, ReadsStructuresOnlyWhenWhole) {
  Store("[INFO]\nlast=D907030000000F000000030039007E03AF\nquoted=\"D907030000000F000000030039007E03AF\"\n"
        "short=D907030000000F000000030039007E03A\nsum=D907030000000F000000030039007E03AE\n");
  SystemTime t;
  ASSERT_TRUE(settings_.GetStruct("INFO", "last", &t, sizeof t));
  EXPECT_EQ(t.wYear, 2009);
  EXPECT_EQ(t.wMilliseconds, 894);
  ASSERT_TRUE(settings_.GetStruct("INFO", "quoted", &t, sizeof t));

  const SystemTime before = t;
  EXPECT_FALSE(settings_.GetStruct("INFO", "missing", &t, sizeof t));
  EXPECT_EQ(LastError(), 24u);
  EXPECT_FALSE(settings_.GetStruct("INFO", "short", &t, sizeof t));
  EXPECT_EQ(LastError(), 24u);
  EXPECT_FALSE(settings_.GetStruct("INFO", "sum", &t, sizeof t));
  EXPECT_EQ(LastError(), 13u);
  EXPECT_EQ(t, before);

  ASSERT_TRUE(settings_.WriteStruct("INFO", "copy", &before, sizeof before));
  SystemTime back;
  ASSERT_TRUE(settings_.GetStruct("INFO", "copy", &back, sizeof back));
  EXPECT_EQ(back, before);
}

TEST_F(SettingsFileTest, WritesCreateTheFileAndEditInPlace) {
  ASSERT_TRUE(settings_.WriteString("SERVERS", "server_1", "a.example"));
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", "60"));
  ASSERT_TRUE(settings_.WriteString("SERVERS", "server_2", ""));
  const std::string nl = NativeLineBreak();
  EXPECT_EQ(Bytes(), "[SERVERS]" + nl + "server_1=a.example" + nl + "server_2=" + nl + "[OPTIONS]" + nl +
                         "period=60" + nl);
  EXPECT_EQ(settings_.GetInt("OPTIONS", "period", 0), 60u);

  Store("; keep me\n[OPTIONS]\nperiod=5\n\n[X]\nodd line\n");
  ASSERT_TRUE(settings_.WriteString("options", "PERIOD", "6"));
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "delay", "3"));
  EXPECT_EQ(Bytes(), "; keep me\n[OPTIONS]\nperiod=6\ndelay=3\n\n[X]\nodd line\n");
  EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"orvanta.ini", "orvanta.ini.lock"}));
}

TEST_F(SettingsFileTest, WritesSeveralKeysInOneReplacement) {
  Store("[INFO]\nadjusted=1.000\n");
  ASSERT_TRUE(settings_.Write({{"INFO", "adjusted", "-0.250"}, {"INFO", "last", "X"}, {"OPTIONS", "period", "5"}}));
  EXPECT_EQ(Bytes(), "[INFO]\nadjusted=-0.250\nlast=X\n[OPTIONS]\nperiod=5\n");

  // One bad change refuses all of them.
  EXPECT_FALSE(settings_.Write({{"INFO", "adjusted", "2"}, {"INFO", "last", std::string("a\0b", 3)}}));
  EXPECT_EQ(LastError(), error::kInvalidParameter);
  EXPECT_EQ(Bytes(), "[INFO]\nadjusted=-0.250\nlast=X\n[OPTIONS]\nperiod=5\n");
}

TEST_F(SettingsFileTest, RefusesTextThatWouldInjectLines) {
  Store("[OPTIONS]\nperiod=5\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } bad[] = {
      {"OPTIONS", "period", "5\r\n[SERVERS]\r\nserver_1=evil"},
      {"OPTIONS", "period", "5\rx"},
      {"OPTIONS", "per\niod", "1"},
      {"OPTIONS", "a=b", "1"},
      {"OPTIONS", ";period", "1"},
      {"OPTIONS", "[period]", "1"},
      {"OPT]IONS", "period", "1"},
      {"OPT\rIONS", "period", "1"},
      {"  ", "period", "1"},
      {"OPTIONS", "", "1"},
      {nullptr, "period", "1"},
      {"OPTIONS", nullptr, "1"},
      {"OPTIONS", "period", nullptr},
  };
  for (const auto& b : bad) {
    SetLastError(0);
    EXPECT_FALSE(settings_.WriteString(b.section, b.key, b.value)) << (b.value ? b.value : "(null)");
    EXPECT_EQ(LastError(), error::kInvalidParameter);
  }
  EXPECT_EQ(Bytes(), "[OPTIONS]\nperiod=5\n");
}

TEST_F(SettingsFileTest, ReadOnlyFileIsRefusedAndKeptWhole) {
  Store("[OPTIONS]\nperiod=5\n");
  test::MakeReadOnly(path_);
  SetLastError(0);
  EXPECT_FALSE(settings_.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kAccessDenied);
  EXPECT_EQ(Bytes(), "[OPTIONS]\nperiod=5\n");
  EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"orvanta.ini", "orvanta.ini.lock"}));
}

TEST_F(SettingsFileTest, MissingFolderOrFolderInTheWayFails) {
  SettingsFile nowhere(folder_.File("no-such-folder/orvanta.ini"));
  SetLastError(0);
  EXPECT_FALSE(nowhere.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kPathNotFound);

  std::filesystem::create_directory(path_);
  EXPECT_FALSE(settings_.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kAccessDenied);
  EXPECT_EQ(settings_.GetInt("OPTIONS", "period", 9), 9u);
  EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"orvanta.ini", "orvanta.ini.lock"}));  // no temporary file
}

TEST_F(SettingsFileTest, TemporariesOfAKilledWriterAreRemovedByTheNextOne) {
  Store("[OPTIONS]\nperiod=5\n");
  WriteBytes(folder_.File("orvanta.ini.~4242-7.tmp"), "[OPTIONS]\nperi");  // died before its rename
  WriteBytes(folder_.File("orvanta.ini.~backup"), "mine");
  WriteBytes(folder_.File("other.ini.~4242-8.tmp"), "not ours");
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"orvanta.ini", "orvanta.ini.lock", "orvanta.ini.~backup",
                                                       "other.ini.~4242-8.tmp"}));
}

TEST_F(SettingsFileTest, OversizedFileReadsAsNoKeysAndIsNotRewritten) {
  Store("[OPTIONS]\nperiod=5\n");
  std::filesystem::resize_file(path_, kMaxStoredFileSize + 1);
  EXPECT_EQ(settings_.GetInt("OPTIONS", "period", 9), 9u);
  EXPECT_FALSE(settings_.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(LastError(), error::kNotEnoughMemory);
  EXPECT_EQ(std::filesystem::file_size(path_), kMaxStoredFileSize + 1);
}

TEST_F(SettingsFileTest, ReplacementKeepsThePermissionBits) {
  using std::filesystem::perms;
  Store("[OPTIONS]\nperiod=5\n");
  std::filesystem::permissions(path_, perms::owner_read | perms::owner_write | perms::group_read);
  const perms before = std::filesystem::status(path_).permissions();
  ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", "6"));
  EXPECT_EQ(std::filesystem::status(path_).permissions(), before);
  EXPECT_EQ(settings_.GetInt("OPTIONS", "period", 9), 6u);
}

}  // namespace
}  // namespace orvanta
