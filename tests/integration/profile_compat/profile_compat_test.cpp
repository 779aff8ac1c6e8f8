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
// extra characters is cut to its length and accepted there, a quoted one
// refused there. And by design: a number beyond the 32-bit range wraps there
// and saturates here, so that "period=4294967297" cannot mean one minute.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/system_time.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using namespace std::string_literals;
using Lookups = std::vector<std::pair<std::string, std::string>>;

// Every lookup gives the same string (at two buffer sizes), integer and
// structure through both.
void ExpectSameReads(const std::string& path, const Lookups& lookups) {
  const SettingsFile ours(path);
  for (const auto& [sectionName, keyName] : lookups) {
    SCOPED_TRACE(path + " [" + sectionName + "] " + keyName);
    const char *section = sectionName.c_str(), *key = keyName.c_str(), *file = path.c_str();
    for (const DWORD size : {DWORD{260}, DWORD{3}}) {
      char system[260], engine[260];
      EXPECT_EQ(ours.GetString(section, key, "dflt", engine, size),
                ::GetPrivateProfileStringA(section, key, "dflt", system, size, file));
      EXPECT_STREQ(engine, system) << "size " << size;
    }
    EXPECT_EQ(ours.GetInt(section, key, -7), ::GetPrivateProfileIntA(section, key, -7, file));
    SystemTime system{}, engine{};
    const bool systemRead = ::GetPrivateProfileStructA(section, key, &system, sizeof system, file) != FALSE;
    EXPECT_EQ(ours.GetStruct(section, key, &engine, sizeof engine), systemRead);
    EXPECT_TRUE(!systemRead || engine == system) << "the structure read";
  }
}

class ProfileCompatTest : public testing::Test {
 protected:
  // A new file name for every file: the system caches what it has read by name.
  std::string NewPath() { return folder_.File("compat" + std::to_string(++files_) + ".ini"); }

  test::TempDir folder_;
  int files_ = 0;
};

TEST_F(ProfileCompatTest, HandWrittenFilesReadAlike) {
  const std::pair<std::string, Lookups> files[] = {
      {"[OPTIONS]\r\nperiod=-1\r\ndelay=\r\n",
       {{"OPTIONS", "period"}, {"options", "DELAY"}, {" OPTIONS ", " period "}, {"OPTIONS", "x"}, {"x", "period"}}},
      {"[S]\nq1=\"a b\"\nq2= ' x ' \nq3='x\"\nq4='\nq5=''\nq6=\"\"\"\n",
       {{"S", "q1"}, {"S", "q2"}, {"S", "q3"}, {"S", "q4"}, {"S", "q5"}, {"S", "q6"}}},
      {"  [ S ]  \n\t k \t=\t v v \t\n", {{"S", "k"}, {"s", "K"}}},
      {"[S]\nk=1\nK=2\n[s]\nk=3\nj=4\n", {{"S", "k"}, {"S", "j"}}},
      {"; comment\n[S]\n;k=1\nk=2\n\n\n", {{"S", "k"}}},
      {"[N]\na=12abc\nb=abc\nc=+7\ne= '5'\nf=-\ni= +-3\nj=-2147483648\nk=4294967295\n",
       {{"N", "a"}, {"N", "b"}, {"N", "c"}, {"N", "e"}, {"N", "f"}, {"N", "i"}, {"N", "j"}, {"N", "k"}}},
      {"[A]\r\na=1\n[B]\rb=2\r\n[C]\nc=3", {{"A", "a"}, {"B", "b"}, {"C", "c"}}},
      {"[S] trailing\nk=1\n[a]b]\nk=2\n", {{"S", "k"}, {"a]b", "k"}}},
      {"[S]\nk\0x=6\nv=7 \0y\n[T\0z]\nt=8\n"s, {{"S", "k"}, {"S", "v"}, {"T", "t"}}},
      {"\xEF\xBB\xBF[S]\r\nk=9\r\n", {{"S", "k"}}},
      {"[S]\n[T\nk=1\n", {{"S", "k"}, {"T", "k"}}},
      {"[S]\nk=" + std::string(200, 'z') + "\n", {{"S", "k"}}},
      {"[S]\n=empty name\n[]\nk=empty section\n", {{"S", "k"}, {"S", "empty name"}}},
      {"\x01\x02\xFF garbage ]]]==[[\n\x7F[S]\n\x1a", {{"S", "k"}, {"S", "garbage ]]]"}}},
      // Structures: either letter case, then a wrong checksum, length and digit.
      {"[S]\na=D907030000000F000000030039007E03AF\nb=d907030000000f000000030039007e03af\n"
       "c=D907030000000F000000030039007E03AE\nd=D907030000000F000000030039007E03A\n"
       "e=D907030000000F0000000300390G7E03AF\n",
       {{"S", "a"}, {"S", "b"}, {"S", "c"}, {"S", "d"}, {"S", "e"}}},
  };
  for (const auto& [text, lookups] : files) {
    const std::string path = NewPath();
    test::WriteBytes(path, text);
    ExpectSameReads(path, lookups);
  }
}

TEST_F(ProfileCompatTest, WhatEitherSideWritesReadsAlikeThroughBoth) {
  const char* const values[] = {"-1",  "",    "0",   "120",   " 'quoted' ", "\"dquoted\"", "a=b",   "  lead",
                                "trail  ", "x;y", "'", "''", "10000", "12abc", "time.example", "[not a section]"};
  Lookups lookups{{"OPTIONS", "period"}, {"SERVERS", "server_1"}, {"INFO", "last"}};
  for (size_t i = 0; i < std::size(values); ++i) lookups.emplace_back("TRICKY", "key" + std::to_string(i));
  SystemTime time{2009, 3, 0, 15, 0, 3, 57, 999};
  // Into a new file, and into one made by hand.
  for (const char* start : {"", "; x\r\n[OPTIONS]\r\nPeriod = 5\r\n\r\n[SERVERS]\nserver_1=a\nserver_1=dup\n"}) {
    std::vector<std::string> seen[2];  // what the system reads from the file each side wrote
    for (const bool system : {false, true}) {
      const std::string path = NewPath();
      if (*start != '\0') test::WriteBytes(path, start);
      const SettingsFile ours(path);
      const auto write = [&](const char* section, const std::string& key, const char* value) {
        return system ? ::WritePrivateProfileStringA(section, key.c_str(), value, path.c_str()) != FALSE
                      : ours.WriteString(section, key.c_str(), value);
      };
      for (size_t i = 0; i < std::size(values); ++i) ASSERT_TRUE(write("TRICKY", lookups[i + 3].second, values[i]));
      ASSERT_TRUE(write("options", "PERIOD", "-1"));
      ASSERT_TRUE(write("SERVERS", "server_1", "b.example"));
      ASSERT_TRUE(system ? ::WritePrivateProfileStructA("INFO", "last", &time, sizeof time, path.c_str()) != FALSE
                         : ours.WriteStruct("INFO", "last", &time, sizeof time));
      ExpectSameReads(path, lookups);
      for (const auto& [section, key] : lookups) {
        char value[260];
        ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", value, sizeof value, path.c_str());
        seen[system].push_back(key + "=" + value);
      }
    }
    EXPECT_EQ(seen[false], seen[true]) << "the same values, the structure byte for byte";
  }
}

}  // namespace
}  // namespace orvanta
