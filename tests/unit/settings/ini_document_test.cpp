// Reading and editing rules of the settings text, without any file.
#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include <string>

namespace orvanta {
namespace {

using namespace std::string_literals;

// What a read finds, quotes removed; "<absent>" when nothing.
std::string Read(const std::string& text, const char* section, const char* key) {
  const IniDocument document(text);
  std::string_view raw;
  return document.Find(section, key, raw) ? std::string(StripQuotes(raw)) : "<absent>";
}

TEST(IniDocument, ReadsByTheProfileRules) {
  const struct { std::string text; const char *section, *key, *expected; } cases[] = {
      {"[options]\nPERIOD=5\n", " Options\t", " Period ", "5"},  // any case, names trimmed
      {"  [ S ] old \n\t k \t=\t 5 \x1a \n", "S", "k", "5"},     // blanks; text after ']'
      {"[a]b]\nk=1\n", "a]b", "k", "1"},                         // the last ']' closes
      {"[S]\nk=\"a b\"\n", "S", "k", "a b"},  {"[S]\nk= ' a b ' \n", "S", "k", " a b "},  // one pair of quotes
      {"[S]\nk=''x''\n", "S", "k", "'x'"},    {"[S]\nk='x\"\n", "S", "k", "'x\""},
      {"[S]\nk='\n", "S", "k", "'"},          {"[S]\nk=a=b\n", "S", "k", "a=b"},
      {"[S]\n;k=1\n", "S", ";k", "<absent>"},                    // a comment
      {"[S]\nk\nk=2\n", "S", "k", "2"},                          // no '=': no key
      {"[S]\nk=1\nK=2\n", "S", "k", "1"},                        // the first key wins
      {"[S]\na=1\n[s]\nk=2\n", "S", "k", "<absent>"},            // only the first section counts
      {"[S]\nk=1\n[S]\nk=2\n", "S", "k", "1"},
      {"k=1\n[]\nk=1\n", "", "k", "<absent>"},    {"[S]\n=1\n", "S", "", "<absent>"},  // no empty names
      {"[S]\n[T\nk=1\n", "S", "k", "1"},                         // no ']': no header
      {"[A]\r\na=1\n[S]\rx=0\r\nk=3", "S", "k", "3"},            // CR LF, LF, CR; no last break
      {"\xEF\xBB\xBF[S]\nk=5\n", "S", "k", "5"},
      {"[S\0x]\nk\0y=7 \0z\n"s, "S", "k", "7 "},                 // NUL ends names and values
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.text, c.section, c.key), c.expected) << testing::PrintToString(c.text);
}

TEST(IniDocument, AnEditChangesOnlyWhatItMust) {
  const std::string file = "; c\r\n[OPTIONS]\r\n  Period = 5   \r\ncolour=blue\r\n\r\n; s\r\n[SERVERS]\r\nx=a\r\n";
  const struct { std::string before; const char *section, *key, *value, *newFileBreak; std::string after; } cases[] = {
      {file, "options", "period", "7", "\n",
       "; c\r\n[OPTIONS]\r\n  Period = 7\r\ncolour=blue\r\n\r\n; s\r\n[SERVERS]\r\nx=a\r\n"},
      {file, "OPTIONS", "delay", "", "\n",  // after the last key, before the blank line
       "; c\r\n[OPTIONS]\r\n  Period = 5   \r\ncolour=blue\r\ndelay=\r\n\r\n; s\r\n[SERVERS]\r\nx=a\r\n"},
      {file, "INFO", "last", "x", "\n", file + "[INFO]\r\nlast=x\r\n"},
      {"", " S ", " k ", " v", "\r\n", "[S]\r\nk= v\r\n"},
      {"[A]\na=1", "S", "k", "v", "\r\n", "[A]\na=1\n[S]\nk=v\n"},  // breaks like the file's first line
      {"[A]\r\na=1\n", "S", "k", "v", "\n", "[A]\r\na=1\n[S]\r\nk=v\r\n"},
      {"[A]\ra=1", "S", "k", "v", "\n", "[A]\ra=1\r[S]\rk=v\r"},
      {"; only", "S", "k", "v", "\r\n", "; only\r\n[S]\r\nk=v\r\n"},
      {"[S]\n[T]\n", "s", "k", "v", "\n", "[S]\nk=v\n[T]\n"},
      {"[S]", "S", "k", "v", "\r\n", "[S]\r\nk=v"},
      {"[S]\na=1", "S", "k", "v", "\n", "[S]\na=1\nk=v"},
      {"[S]\nk=1\nk=2\n", "S", "K", "3", "\n", "[S]\nk=3\nk=2\n"},  // the line a read finds
      {"k=1\n[T]\nk=1\n[S]\n", "S", "k", "2", "\n", "k=1\n[T]\nk=1\n[S]\nk=2\n"},
      {"[S]\na=1\n[S]\nk=2\n", "S", "k", "3", "\n", "[S]\na=1\nk=3\n[S]\nk=2\n"},
      {"[S]\nk=1\0x\n"s, "S", "k", "2", "\n", "[S]\nk=2\n"},
  };
  for (const auto& c : cases) {
    IniDocument document(c.before);
    document.Set(c.section, c.key, c.value, c.newFileBreak);
    EXPECT_EQ(document.Text(), c.after) << testing::PrintToString(c.before) << " " << c.key;
  }
}

}  // namespace
}  // namespace orvanta
