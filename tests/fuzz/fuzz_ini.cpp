// The settings engine on any text: parse, set one key, write out, parse
// again. The key set reads back what was written, and every other key of
// its section reads as before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/ini_document.h"

using orvanta::IniDocument;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input: SECTION \0 KEY \0 VALUE \0 FILE TEXT.
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  size_t begin = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t nul = input.find('\0', begin);
    if (nul == std::string::npos) return 0;
    parts.push_back(input.substr(begin, nul - begin));
    begin = nul + 1;
  }
  const std::string& section = parts[0];
  const std::string& key = parts[1];
  const std::string& value = parts[2];
  if (!orvanta::IsWritableSection(section) || !orvanta::IsWritableKey(key) || !orvanta::IsWritableValue(value)) {
    return 0;
  }
  const IniDocument before(input.substr(begin));
  IniDocument after = before;
  after.Set(section, key, value, "\r\n");
  const IniDocument reread(after.Text());

  std::string_view got;
  if (!reread.Find(section, key, got) || got != orvanta::TrimIniBlanks(value)) std::abort();
  // Every other key of the section reads as before (others the edit never reaches).
  before.ForEachKey(section, [&](std::string_view name, std::string_view) {
    std::string_view old, now;
    if (orvanta::IniNamesEqual(name, orvanta::TrimIniBlanks(key)) || !before.Find(section, name, old)) return;
    if (!reread.Find(section, name, now) || now != old) std::abort();
  });
  return 0;
}
