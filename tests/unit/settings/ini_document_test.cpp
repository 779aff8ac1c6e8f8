// Reading and editing rules of the settings text, without any file.
#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orvanta {
namespace {

using namespace std::string_literals;

// What a read of section/key in text finds, quotes removed; "<absent>" when nothing.
std::string Read(const std::string& text, const char* section, const char* key) {
  const IniDocument document(text);
  std::string_view raw;  // points into document
  if (!document.Find(section, key, raw)) return "<absent>";
  return std::string(StripQuotes(raw));
}

std::string AfterSet(const std::string& text, const char* section, const char* key, const char* value,
                     const char* newFileBreak = "\n") {
  IniDocument document(text);
  document.Set(section, key, value, newFileBreak);
  return document.Text();
}

struct ReadCase {
  const char* what;
  std::string text;
  const char* section;
  const char* key;
  const char* expected;
};

TEST(IniReading, FollowsTheProfileRules) {
  const ReadCase cases[] = {
      {"plain", "[OPTIONS]\nperiod=5\n", "OPTIONS", "period", "5"},
      {"names without regard to case", "[options]\nPERIOD=5\n", "Options", "Period", "5"},
      {"caller's names trimmed", "[OPTIONS]\nperiod=5\n", "  OPTIONS\t", " period ", "5"},
      {"blanks in the file", "  [ OPTIONS ]  \n\t period \t=\t 5 \x1a \n", "OPTIONS", "period", "5"},
      {"text after the last ']' ignored", "[OPTIONS] old\nperiod=5\n", "OPTIONS", "period", "5"},
      {"the last ']' closes the name", "[a]b]\nk=1\n", "a]b", "k", "1"},
      {"double quotes", "[S]\nk=\"a b\"\n", "S", "k", "a b"},
      {"single quotes, blanks inside kept", "[S]\nk= ' a b ' \n", "S", "k", " a b "},
      {"one pair only", "[S]\nk=''x''\n", "S", "k", "'x'"},
      {"unmatched quotes stay", "[S]\nk='x\"\n", "S", "k", "'x\""},
      {"a lone quote stays", "[S]\nk='\n", "S", "k", "'"},
      {"empty quotes", "[S]\nk=''\n", "S", "k", ""},
      {"empty value", "[S]\nk=\n", "S", "k", ""},
      {"'=' in the value", "[S]\nk=a=b\n", "S", "k", "a=b"},
      {"comment", "[S]\n;k=1\n", "S", ";k", "<absent>"},
      {"line without '=' is no key", "[S]\nk\nk=2\n", "S", "k", "2"},
      {"first of duplicate keys", "[S]\nk=1\nK=2\n", "S", "k", "1"},
      {"first of duplicate sections only", "[S]\na=1\n[s]\nk=2\n", "S", "k", "<absent>"},
      {"duplicate section, key in the first", "[S]\nk=1\n[S]\nk=2\n", "S", "k", "1"},
      {"keys before any section", "k=1\n[S]\n", "", "k", "<absent>"},
      {"empty section name", "[]\nk=1\n", "", "k", "<absent>"},
      {"empty key name", "[S]\n=1\n", "S", "", "<absent>"},
      {"other section", "[T]\nk=1\n", "S", "k", "<absent>"},
      {"'[' without ']' is no header", "[S]\n[T\nk=1\n", "S", "k", "1"},
      {"CR LF, LF and CR mixed", "[A]\r\na=1\n[S]\rx=0\r\nk=3", "S", "k", "3"},
      {"no final line break", "[S]\nk=4", "S", "k", "4"},
      {"UTF-8 mark before the first line", "\xEF\xBB\xBF[S]\nk=5\n", "S", "k", "5"},
      {"NUL ends a key name", "[S]\nk\0junk=6\n"s, "S", "k", "6"},
      {"NUL ends a value", "[S]\nk=7 \0junk\n"s, "S", "k", "7 "},
      {"NUL ends a section name", "[S\0junk]\nk=8\n"s, "S", "k", "8"},
      {"very long line", "[S]\nk=" + std::string(1 << 20, 'v') + "\n", "S", "k", nullptr},
  };
  for (const ReadCase& c : cases) {
    const std::string expected = c.expected != nullptr ? c.expected : std::string(1 << 20, 'v');
    EXPECT_EQ(Read(c.text, c.section, c.key), expected) << c.what;
  }
}

TEST(IniReading, LeadingIntegerIsDecimalModulo32Bits) {
  const struct {
    const char* text;
    uint32_t expected;
  } cases[] = {
      {"5", 5},          {" 42 ", 42},        {"-1", 0xFFFFFFFFu},   {"+7", 7},
      {"12abc", 12},     {"abc", 0},          {"-", 0},              {"+-5", 0},
      {"- 5", 0},        {"0x10", 0},         {"4294967296", 0},     {"4294967297", 1},
      {"99999999999", 1215752191u},           {"-4294967297", 0xFFFFFFFFu},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.expected) << c.text;
}

TEST(IniEditing, ChangesOnlyTheKeysOwnLine) {
  const std::string before =
      "; settings\r\n"
      "\r\n"
      "[OPTIONS]\r\n"
      "  Period = 5   \r\n"
      "colour=blue\r\n"
      "\r\n"
      "; servers follow\r\n"
      "[SERVERS]\r\n"
      "server_1=a\r\n";
  EXPECT_EQ(AfterSet(before, "options", "period", "7"),
            "; settings\r\n"
            "\r\n"
            "[OPTIONS]\r\n"
            "  Period = 7\r\n"
            "colour=blue\r\n"
            "\r\n"
            "; servers follow\r\n"
            "[SERVERS]\r\n"
            "server_1=a\r\n");
  // A new key goes after the section's last key, before its trailing blank line and comment.
  EXPECT_EQ(AfterSet(before, "OPTIONS", "delay", ""),
            "; settings\r\n"
            "\r\n"
            "[OPTIONS]\r\n"
            "  Period = 5   \r\n"
            "colour=blue\r\n"
            "delay=\r\n"
            "\r\n"
            "; servers follow\r\n"
            "[SERVERS]\r\n"
            "server_1=a\r\n");
  // A new section goes at the end.
  EXPECT_EQ(AfterSet(before, "INFO", "last", "x"), before + "[INFO]\r\nlast=x\r\n");
}

TEST(IniEditing, PlacesNewLinesAndBreaksLikeTheFile) {
  EXPECT_EQ(AfterSet("", "S", "k", "v", "\r\n"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(AfterSet("", "S", "k", "v", "\n"), "[S]\nk=v\n");
  EXPECT_EQ(AfterSet("[A]\na=1", "S", "k", "v", "\r\n"), "[A]\na=1\n[S]\nk=v\n");
  EXPECT_EQ(AfterSet("[A]\r\na=1\n", "S", "k", "v"), "[A]\r\na=1\n[S]\r\nk=v\r\n");
  EXPECT_EQ(AfterSet("; only a comment", "S", "k", "v", "\r\n"), "; only a comment\r\n[S]\r\nk=v\r\n");
  // Into a section without keys: right after its header, also at the end of the file.
  EXPECT_EQ(AfterSet("[S]\n[T]\n", "s", "k", "v"), "[S]\nk=v\n[T]\n");
  EXPECT_EQ(AfterSet("[S]", "S", "k", "v", "\r\n"), "[S]\r\nk=v");
  EXPECT_EQ(AfterSet("[S]\na=1", "S", "k", "v"), "[S]\na=1\nk=v");
  // The names as the caller gave them, trimmed.
  EXPECT_EQ(AfterSet("", " S ", " k ", " v", "\n"), "[S]\nk= v\n");
  // Duplicates: the line a read finds is the line that changes.
  EXPECT_EQ(AfterSet("[S]\nk=1\nk=2\n", "S", "K", "3"), "[S]\nk=3\nk=2\n");
  EXPECT_EQ(AfterSet("[S]\na=1\n[S]\nk=2\n", "S", "k", "3"), "[S]\na=1\nk=3\n[S]\nk=2\n");
  EXPECT_EQ(Read(AfterSet("[S]\na=1\n[S]\nk=2\n", "S", "k", "3"), "S", "k"), "3");
  // A key after a NUL-cut name, a value after a NUL: the whole old value goes.
  EXPECT_EQ(AfterSet("[S]\nk=1\0x\n"s, "S", "k", "2"), "[S]\nk=2\n");
}

TEST(IniEditing, AnyGarbageReadsBackWhatWasSet) {
  // Whatever the text, a write is read back, and a second write to another key
  // keeps the first one.
  std::mt19937 random(20240515);
  const char alphabet[] = "[]=; \t\r\n\0\x1a'\"SskK1\xEF\xBB\xBF";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const size_t length = random() % 64;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % (sizeof alphabet - 1)];
    IniDocument document(text);
    document.Set("S", "k", "value", "\n");
    document.Set("s", "other", "second", "\n");
    std::string_view raw;
    ASSERT_TRUE(document.Find("S", "k", raw)) << testing::PrintToString(text);
    EXPECT_EQ(raw, "value") << testing::PrintToString(text);
    ASSERT_TRUE(document.Find("S", "other", raw)) << testing::PrintToString(text);
    EXPECT_EQ(raw, "second") << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace orvanta
