// The settings engine against the system's own profile functions: files
// written by hand, by our engine or by WritePrivateProfileStringA /
// WritePrivateProfileStructA read alike through both.
//
// Left out on purpose, where this system's reader (Wine 8) answers otherwise
// and our engine keeps its own rule: a line without '=' hides a later key of
// the same name there; "0x10" reads as 16 there; a quoted value cut to exactly
// its length loses one more character there (so no buffer here is exactly one
// longer than a quoted value); keys before the first section answer to the
// section "" there; comment lines are keys there; a structure value with
// extra characters is cut to its length and accepted there.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/system_time.h"
#include "settings/settings_file.h"
#include "settings/struct_encoding.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using namespace std::string_literals;
using Lookups = std::vector<std::pair<std::string, std::string>>;

class ProfileCompatTest : public testing::Test {
 protected:
  // A new file name for every file: the system caches what it has read by name.
  std::string NewPath() { return folder_.File("compat" + std::to_string(++files_) + ".ini"); }

  // Every lookup gives the same string (at two buffer sizes) and integers (at two defaults) through both.
  static void ExpectSameReads(const std::string& path, const Lookups& lookups) {
    const SettingsFile ours(path);
    for (const auto& [section, key] : lookups) {
      const std::string where = path + " [" + section + "] " + key;
      for (const DWORD size : {DWORD{260}, DWORD{3}}) {
        char system[260];
        char engine[260];
        const DWORD systemCount =
            ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "dflt", system, size, path.c_str());
        const uint32_t engineCount = ours.GetString(section.c_str(), key.c_str(), "dflt", engine, size);
        EXPECT_EQ(engineCount, systemCount) << where << " size " << size;
        EXPECT_STREQ(engine, system) << where << " size " << size;
      }
      for (const INT defaultValue : {77, -1}) {
        EXPECT_EQ(ours.GetInt(section.c_str(), key.c_str(), defaultValue),
                  ::GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, path.c_str()))
            << where << " default " << defaultValue;
      }
    }
  }

  static SystemTime Sample(uint16_t milliseconds) {
    SystemTime t;
    t.wYear = 2009;
    t.wMonth = 3;
    t.wDay = 15;
    t.wMinute = 3;
    t.wSecond = 57;
    t.wMilliseconds = milliseconds;
    return t;
  }

  test::TempDir folder_;
  int files_ = 0;
};

TEST_F(ProfileCompatTest, HandWrittenFilesReadAlike) {
  const struct {
    std::string text;
    Lookups lookups;
  } files[] = {
      {"[OPTIONS]\r\nperiod=-1\r\ndelay=\r\n",
       {{"OPTIONS", "period"}, {"options", "DELAY"}, {" OPTIONS ", " period "}, {"OPTIONS", "missing"},
        {"SERVERS", "period"}}},
      {"[S]\nq1=\"a b\"\nq2= ' x ' \nq3='x\"\nq4='\nq5=''\nq6=\"\"\"\n",
       {{"S", "q1"}, {"S", "q2"}, {"S", "q3"}, {"S", "q4"}, {"S", "q5"}, {"S", "q6"}}},
      {"  [ S ]  \n\t k \t=\t v v \t\n", {{"S", "k"}, {"s", "K"}}},
      {"[S]\nk=1\nK=2\n[s]\nk=3\nj=4\n", {{"S", "k"}, {"S", "j"}}},
      {"; comment\n[S]\n;k=1\nk=2\n\n\n", {{"S", "k"}}},
      {"[oPtIoNs]\nPeRiOd=42\n", {{"OPTIONS", "period"}}},
      {"[N]\na=12abc\nb=abc\nc=+7\nd=4294967297\ne= '5'\nf=-\ng=99999999999\nh=-4294967297\ni= +-3\n",
       {{"N", "a"}, {"N", "b"}, {"N", "c"}, {"N", "d"}, {"N", "e"}, {"N", "f"}, {"N", "g"}, {"N", "h"}, {"N", "i"}}},
      {"[A]\r\na=1\n[B]\rb=2\r\n[C]\nc=3", {{"A", "a"}, {"B", "b"}, {"C", "c"}}},
      {"[S] trailing\nk=1\n[a]b]\nk=2\n", {{"S", "k"}, {"a]b", "k"}}},
      {"[S]\nk\0x=6\nv=7 \0y\n[T\0z]\nt=8\n"s, {{"S", "k"}, {"S", "v"}, {"T", "t"}}},
      {"\xEF\xBB\xBF[S]\r\nk=9\r\n", {{"S", "k"}}},
      {"[S]\n[T\nk=1\n", {{"S", "k"}, {"T", "k"}}},
      {"[S]\nk=" + std::string(200, 'z') + "\n", {{"S", "k"}}},
      {"[S]\n=empty name\n[]\nk=empty section\n", {{"S", "k"}, {"S", "empty name"}}},
      {"\x01\x02\xFF garbage ]]]==[[\n\x7F[S]\n\x1a", {{"S", "k"}, {"S", "garbage ]]]"}}},
  };
  for (const auto& file : files) {
    const std::string path = NewPath();
    test::WriteBytes(path, file.text);
    ExpectSameReads(path, file.lookups);
  }
}

const char* const kTrickyValues[] = {"-1",      "",         "0",        "120",      " 'quoted' ", "\"dquoted\"",
                                     "a=b",     "  lead",   "trail  ",  "x;y",      "[not a section]",
                                     "'",       "''",       "10000",    "12abc",    "time.example"};

Lookups TrickyLookups() {
  Lookups lookups;
  for (size_t i = 0; i < sizeof kTrickyValues / sizeof kTrickyValues[0]; ++i) {
    lookups.emplace_back("TRICKY", "key" + std::to_string(i));
  }
  lookups.emplace_back("OPTIONS", "period");
  lookups.emplace_back("OPTIONS", "delay");
  lookups.emplace_back("SERVERS", "server_1");
  return lookups;
}

constexpr const char* kStartingFile =
    "; hand-made\r\n[OPTIONS]\r\nPeriod = 5\r\n\r\n[SERVERS]\nserver_1=a.example\nserver_1=dup\n";

TEST_F(ProfileCompatTest, OurWritesReadAlikeThroughTheSystem) {
  for (const char* start : {"", kStartingFile}) {
    const std::string path = NewPath();
    if (*start != '\0') test::WriteBytes(path, start);
    const SettingsFile ours(path);
    for (size_t i = 0; i < sizeof kTrickyValues / sizeof kTrickyValues[0]; ++i) {
      ASSERT_TRUE(ours.WriteString("TRICKY", ("key" + std::to_string(i)).c_str(), kTrickyValues[i]));
    }
    ASSERT_TRUE(ours.WriteString("options", "PERIOD", "-1"));
    ASSERT_TRUE(ours.Write({{"OPTIONS", "delay", "3"}, {"SERVERS", "server_1", "b.example"}}));
    ExpectSameReads(path, TrickyLookups());

    const SystemTime written = Sample(894);
    ASSERT_TRUE(ours.WriteStruct("INFO", "last", &written, sizeof written));
    SystemTime read;
    ASSERT_TRUE(::GetPrivateProfileStructA("INFO", "last", &read, sizeof read, path.c_str()));
    EXPECT_EQ(read, written);
  }
}

TEST_F(ProfileCompatTest, SystemWritesReadAlikeThroughOurs) {
  for (const char* start : {"", kStartingFile}) {
    const std::string path = NewPath();
    if (*start != '\0') test::WriteBytes(path, start);
    for (size_t i = 0; i < sizeof kTrickyValues / sizeof kTrickyValues[0]; ++i) {
      ASSERT_TRUE(::WritePrivateProfileStringA("TRICKY", ("key" + std::to_string(i)).c_str(), kTrickyValues[i],
                                               path.c_str()));
    }
    ASSERT_TRUE(::WritePrivateProfileStringA("options", "PERIOD", "-1", path.c_str()));
    ASSERT_TRUE(::WritePrivateProfileStringA("SERVERS", "server_1", "b.example", path.c_str()));
    ExpectSameReads(path, TrickyLookups());

    SystemTime written = Sample(999);
    ASSERT_TRUE(::WritePrivateProfileStructA("INFO", "last", &written, sizeof written, path.c_str()));
    const SettingsFile ours(path);
    EXPECT_EQ(ours.GetString("INFO", "last", 260), EncodeStruct(&written, sizeof written));  // byte for byte
    SystemTime read;
    ASSERT_TRUE(ours.GetStruct("INFO", "last", &read, sizeof read));
    EXPECT_EQ(read, written);
  }
}

TEST_F(ProfileCompatTest, StructuresAreAcceptedAndRefusedAlike) {
  const std::string path = NewPath();
  test::WriteBytes(path,
                   "[INFO]\nupper=D907030000000F000000030039007E03AF\nlower=d907030000000f000000030039007e03af\n"
                   "sum=D907030000000F000000030039007E03AE\nshort=D907030000000F000000030039007E03A\n"
                   "bad=D907030000000F0000000300390G7E03AF\n");
  const SettingsFile ours(path);
  for (const char* key : {"upper", "lower", "sum", "short", "bad", "missing"}) {
    SystemTime system;
    SystemTime engine;
    const bool systemRead = ::GetPrivateProfileStructA("INFO", key, &system, sizeof system, path.c_str()) != FALSE;
    EXPECT_EQ(ours.GetStruct("INFO", key, &engine, sizeof engine), systemRead) << key;
    if (systemRead) {
      EXPECT_EQ(engine, system) << key;
    }
  }
}

}  // namespace
}  // namespace orvanta
