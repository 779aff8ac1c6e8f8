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

#include "platform/system_time.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using namespace std::string_literals;

// Every name of every file is looked up in every section.
const char* const kSections[] = {"S", " s ", "T", "U", "a]b", "x", "W"};
const char* const kKeys[] = {"k", " K ", "j", "e", "q1", "q2", "q3", "q4", "q5", "q6",
                             "n1", "n2", "n3", "n4", "n5", "n6", "n7", "n8"};

// Every lookup gives the same string (at two buffer sizes), integer and
// structure through both. Returns what the system read, at the larger size.
std::string ExpectSameReads(const std::string& path) {
  const SettingsFile ours(path);
  std::string seen;
  for (const char* section : kSections) {
    for (const char* key : kKeys) {
      SCOPED_TRACE(path + " [" + section + "] " + key);
      for (const DWORD size : {DWORD{3}, DWORD{260}}) {
        char system[260], engine[260];
        EXPECT_EQ(ours.GetString(section, key, "dflt", engine, size),
                  ::GetPrivateProfileStringA(section, key, "dflt", system, size, path.c_str()));
        EXPECT_STREQ(engine, system) << "size " << size;
        if (size == 260) seen += std::string(section) + "." + key + "=" + system + "\n";
      }
      EXPECT_EQ(ours.GetInt(section, key, -7), ::GetPrivateProfileIntA(section, key, -7, path.c_str()));
      SystemTime system{}, engine{};  // the system's fills in part what it then refuses
      const bool systemRead = ::GetPrivateProfileStructA(section, key, &system, sizeof system, path.c_str()) != FALSE;
      EXPECT_EQ(ours.GetStruct(section, key, &engine, sizeof engine), systemRead);
      EXPECT_TRUE(!systemRead || engine == system) << "the structure read";
    }
  }
  return seen;
}

// Each file as written by hand, with the same values then written into it by
// each side: in a section of their own, and a structure into the first
// section of a name the file may hold twice.
TEST(ProfileCompat, FilesWrittenByHandThenByEitherSideReadAlikeThroughBoth) {
  const std::string files[] = {
      "",  // no file
      "\xEF\xBB\xBF; c\r\n  [ S ] trailing \r\n\t k \t=\t v v \t\r\nK=dup\r\n;j=0\r\ne=\r\nq1=\"a b\"\r\nq2= ' x ' \r\n"
      "q3='x\"\r\nq4='\r\nq5=''\r\nq6=\"\"\"\r\nn1=12abc\r\nn2=+7\r\nn3= '5'\r\nn4=-\r\nn5= +-3\r\nn6=-2147483648\r\n"
      "n7=4294967295\r\nn8=abc\r\n\r\n[s]\r\nk=3\r\nj=4\r\n[a]b]\r\nk=2\r\n[T]\nk=a\nk=dup\n",
      "\x01\x02\xFF ]]]==[[\n[U]\r\nk=1\n[T\0z]\rk=2\r\n[S]\nk\0x=6\nj=7\0y\n[x]\nk=3\n[T\nj=" + std::string(200, 'z'),
  };
  const char* const values[] = {"-1", "", " 'quoted' ", "\"dquoted\"", "a=b", "  lead", "trail  ", "x;y", "''", "[x]"};
  SystemTime time{2009, 3, 0, 15, 0, 3, 57, 999};
  const test::TempDir folder;
  for (size_t f = 0; f < std::size(files); ++f) {
    // A new name for every file: the system caches what it has read by name.
    std::string seen[2];  // what the system reads from the file each side wrote
    for (const bool system : {false, true}) {
      const std::string file = folder.File(std::to_string(f) + (system ? "system.ini" : "engine.ini"));
      if (f != 0) test::WriteBytes(file, files[f]);  // the first: no file at all
      const SettingsFile ours(file);
      const auto write = [&](const char* section, const char* key, const char* value) {
        return system ? ::WritePrivateProfileStringA(section, key, value, file.c_str()) != FALSE
                      : ours.WriteString(section, key, value);
      };
      for (size_t i = 0; i < std::size(values); ++i) ASSERT_TRUE(write("W", kKeys[i + 2], values[i]));
      ASSERT_TRUE(system ? ::WritePrivateProfileStructA("s", "j", &time, sizeof time, file.c_str()) != FALSE
                         : ours.WriteStruct("s", "j", &time, sizeof time));
      seen[system] = ExpectSameReads(file);
    }
    EXPECT_EQ(seen[false], seen[true]) << "the same values, the structure byte for byte";
  }
}

}  // namespace
}  // namespace orvanta
