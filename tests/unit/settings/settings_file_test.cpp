// The settings text and the settings file on disk: the reading and editing
// rules, the path, the typed readers, whole-file writes and their refusals.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "settings/factory_servers.h"
#include "settings/settings_readers.h"
#include "settings/struct_encoding.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

TEST(IniDocument, ReadsByTheProfileRules) {
  const struct { std::string text; const char *section, *key, *expected; } cases[] = {
      // Any letter case, names trimmed; the last ']' closes a header; blanks, and text after it; the first '='.
      {"[options]\nPERIOD=5\n", " Options\t", " Period ", "5"}, {"[a]b]\nk=1\n", "a]b", "k", "1"},
      {"  [ S ] old \n\t k \t=\t 5 \x1a \n", "S", "k", "5"}, {"[S]\nk=a=b\n", "S", "k", "a=b"},
      // One pair of quotes goes, alike at both ends; a comment is no key.
      {"[S]\nk=\"a b\"\n", "S", "k", "a b"}, {"[S]\nk= ' a b ' \n", "S", "k", " a b "},
      {"[S]\nk=''x''\n", "S", "k", "'x'"}, {"[S]\nk='x\"\n", "S", "k", "'x\""}, {"[S]\n;k=1\n", "S", ";k", nullptr},
      // No '=', no key; the first key and the first section count; no empty names; no ']', no header.
      {"[S]\nk\nk=2", "S", "k", "2"}, {"[S]\nk=1\nK=2", "S", "k", "1"}, {"[S]\na=1\n[s]\nk=2", "S", "k", nullptr},
      {"k=1\n[]\nk=1\n", "", "k", nullptr}, {"[S]\n[T\nk=1", "S", "k", "1"},
      // A BOM; CR LF, LF and CR; NUL ends names and values.
      {"\xEF\xBB\xBF[S]\nk=5", "S", "k", "5"}, {"[A]\r\na=1\n[S]\rx=0\r\nk=3", "S", "k", "3"},
      {"[S\0x]\nk\0y=7 \0z\n"s, "S", "k", "7 "},
  };
  for (const auto& c : cases) {
    const IniDocument document(c.text);
    std::string_view raw;
    const bool found = document.Find(c.section, c.key, raw);
    EXPECT_EQ(found ? std::string(StripQuotes(raw)) : "<absent>", c.expected ? c.expected : "<absent>") << c.text;
  }
}

TEST(IniDocument, AnEditChangesOnlyTheKeysLineAndKeepsTheFilesLineBreaks) {
  const std::string file = "; c\r\n[O]\r\n  Period = 5   \r\nx=b\r\n\r\n[T]\r\n";
  const struct { std::string before; const char *section, *key, *value, *newFileBreak; std::string after; } cases[] = {
      {file, "o", "period", "7", "\n", "; c\r\n[O]\r\n  Period = 7\r\nx=b\r\n\r\n[T]\r\n"},
      {file, "O", "delay", "", "\n", "; c\r\n[O]\r\n  Period = 5   \r\nx=b\r\ndelay=\r\n\r\n[T]\r\n"},
      {file, "I", "last", "x", "\n", file + "[I]\r\nlast=x\r\n"}, {"", " S ", " k ", " v", "\r\n", "[S]\r\nk= v\r\n"},
      {"[A]\na=1", "S", "k", "v", "\r\n", "[A]\na=1\n[S]\nk=v\n"},  // breaks like the file's first line
      {"[S]", "S", "k", "v", "\r\n", "[S]\r\nk=v"},
      {"[S]\nk=1\nk=2", "S", "K", "3", "\n", "[S]\nk=3\nk=2"}, {"[S]\nk=1\0x\n"s, "S", "k", "2", "\n", "[S]\nk=2\n"},
      {"k=1\n[S]\na=1\n[S]\nk=2\n", "S", "k", "3", "\n", "k=1\n[S]\na=1\nk=3\n[S]\nk=2\n"},  // the line a read finds
  };
  for (const auto& c : cases) {
    IniDocument document(c.before);
    document.Set(c.section, c.key, c.value, c.newFileBreak);
    EXPECT_EQ(document.Text(), c.after) << testing::PrintToString(c.before) << " " << c.key;
  }
}

TEST(SettingsPath, ReplacesOrAddsTheExtensionOfTheFileNameAndRefusesWhatWouldNotFit) {
  const std::string folder = "/" + std::string(250, 'f') + "/";  // 252 characters: 259 fit, not 260
  const std::pair<std::string, std::string> cases[] = {{"/a.b/prog.x.exe", "/a.b/prog.x.ini"}, {"/a.b/.prog", "/a.b/.prog.ini"},
      {"/x/", ""}, {folder + "abc.exe", folder + "abc.ini"}, {folder + "abcd", ""}};
  for (const auto& [executable, expected] : cases) EXPECT_EQ(SettingsFile::PathForExecutable(executable), expected);
}

class SettingsFileTest : public testing::Test {
 protected:
  test::TempDir folder_;
  std::string path_ = folder_.File("orvanta.ini");
  SettingsFile settings_{path_};
};

// What the readers make of a file: the period, the delay, the servers, and
// the last adjustment or the error that refused it.
TEST_F(SettingsFileTest, TypedReadersClampSaturateEndTheListAndCheckTheLastAdjustment) {
  const std::string def = kDefaultServer, good = "D907030000000F000000030039007E03AF";  // 2009-03-15 00:03:57.894
  const auto only = [&def](const std::string& last) { return "120 4000 " + def + " " + last; };
  const std::pair<std::string, std::string> cases[] = {
      // No file at all first.
      {"", only("24")}, {"period=0\ndelay=0\n[SERVERS]\nserver_1=a\nserver_3=c", "120 4000 a 24"},
      {"period=1\ndelay=5\n[SERVERS]\nserver_1=\nserver_2=b", "1 5000 " + def + " 24"},
      {"period= '45' \ndelay=86400\n[SERVERS]\nserver_1='a'\nserver_2=b", "45 86400000 a b 24"},
      {"period=10000\ndelay=86401", "9999 10000 " + def + " 24"},
      // Beyond 32 bits the numbers saturate rather than wrap (to 1 and -1).
      {"period=4294967297\ndelay=-4294967297", "9999 10000 " + def + " 24"},
      {"period=-1\ndelay=4294967297", "9999 10000 " + def + " 24"},
      // The structure encoding: either letter case, quotes; then a wrong length, checksum and digit.
      {"[INFO]\nlast=" + good, only(good)}, {"[INFO]\nlast='d907030000000f000000030039007e03af'", only(good)},
      {"[INFO]\nlast=" + good + "0", only("24")}, {"[INFO]\nlast=" + good.substr(0, 32) + "AE", only("13")},
  };
  for (const auto& [lines, expected] : cases) {
    if (!lines.empty()) test::WriteBytes(path_, "[OPTIONS]\n" + lines + "\n");
    Names servers{"left over"};
    LoadServerList(settings_, servers);
    std::string read = std::to_string(ReadPeriodMinutes(settings_)) + " " + std::to_string(ReadOnceDelayMs(settings_));
    for (const std::string& server : servers) read += " " + server;
    SystemTime last{};
    read += " " + (ReadLastSync(settings_, last) ? EncodeStruct(&last, sizeof last) : std::to_string(LastError()));
    EXPECT_EQ(read, expected) << lines;
  }
}

TEST_F(SettingsFileTest, AWriteReplacesTheWholeFileKeepingEverythingElse) {
  test::WriteBytes(path_, "; keep\n[INFO]\nadjusted=1\n\n[X]\nodd line\n");
  // What a killed writer left before its rename goes; nothing else does.
  test::WriteBytes(folder_.File("orvanta.ini.~4242-7.tmp"), "[OPTIONS]\nperi");
  test::WriteBytes(folder_.File("orvanta.ini.~1-2.bak"), "mine");
  ASSERT_TRUE(settings_.Write({{"info", "ADJUSTED", "-0.250"}, {"INFO", "last", "X"}, {"OPTIONS", "period", ""}}));
  EXPECT_EQ(test::ReadBytes(path_), "; keep\n[INFO]\nadjusted=-0.250\nlast=X\n\n[X]\nodd line\n[OPTIONS]\nperiod=\n");
  EXPECT_EQ(folder_.Names(), (Names{"orvanta.ini", "orvanta.ini.lock", "orvanta.ini.~1-2.bak"}));
}

TEST_F(SettingsFileTest, RefusedWritesLeaveTheFileAsItWasAndNoTemporary) {
  test::WriteBytes(path_, "[O]\np=5\n");
  // One bad change refuses them all.
  EXPECT_FALSE(settings_.Write({{"O", "p", "6"}, {"INFO", "last", std::string("a\0b", 3)}}));
  test::MakeReadOnly(path_);
  std::filesystem::create_directory(folder_.File("dir"));
  const std::string dir = folder_.File("dir"), none = folder_.File("none/orvanta.ini");
  // Values and names that would break a line or make one of another kind, then files that cannot be written.
  const uint32_t bad = error::kInvalidParameter;
  const struct { std::string file; const char *section, *key, *value; uint32_t error; } cases[] = {
      {path_, "O", "p", "5\r\n[SERVERS]\r\nserver_1=evil", bad}, {path_, "O", "p", "5\rx", bad},
      {path_, "O", "p\n", "1", bad}, {path_, "O]", "p", "1", bad}, {path_, "O", "a=b", "1", bad},
      {path_, "  ", "p", "1", bad}, {path_, nullptr, "p", "1", bad}, {path_, "O", "p", "6", error::kAccessDenied},
      {none, "O", "p", "6", error::kPathNotFound}, {"", "O", "p", "6", error::kPathNotFound},
      {dir, "O", "p", "6", error::kAccessDenied},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(SettingsFile(c.file).WriteString(c.section, c.key, c.value)) << c.file << (c.value ? c.value : "");
    EXPECT_EQ(LastError(), c.error) << c.file << (c.value ? c.value : "");
  }
  EXPECT_EQ(test::ReadBytes(path_), "[O]\np=5\n");
  EXPECT_EQ(folder_.Names(), (Names{"dir", "dir.lock", "orvanta.ini", "orvanta.ini.lock"}));
}

// Writers in several threads (on Windows the only check of the file lock):
// no update is lost, and a reader never sees a half-written file.
TEST_F(SettingsFileTest, WritersAtTheSameTimeLoseNoUpdate) {
  ASSERT_TRUE(settings_.WriteString("O", "p", "5"));
  std::atomic<int> failed{0}, done{0}, halfFiles{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([this, key = std::to_string(w), &failed, &done] {
      for (int i = 1; i <= 40; ++i) failed += !settings_.WriteString("C", key.c_str(), std::to_string(i).c_str());
      ++done;
    });
  }
  while (done < 4) halfFiles += settings_.GetInt("O", "p", 0) != 5u;
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failed + halfFiles, 0);
  for (int w = 0; w < 4; ++w) EXPECT_EQ(settings_.GetInt("C", std::to_string(w).c_str(), 0), 40u);
}

}  // namespace
}  // namespace orvanta
