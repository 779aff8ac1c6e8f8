// The settings engine on any text: parse, set one key, write out, parse
// again. The key set reads back what was written, and every other key of
// the file reads as before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/ini_document.h"

namespace {

using orvanta::IniDocument;

// Every (section, key) a reader could ask for, with what it finds.
std::vector<std::pair<std::pair<std::string, std::string>, std::string>> Readable(const IniDocument& document) {
  std::vector<std::pair<std::pair<std::string, std::string>, std::string>> found;
  const std::string& text = document.Text();
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = orvanta::TrimIniBlanks(std::string_view(text).substr(begin, end - begin));
    begin = end + 1;
    if (line.empty() || line.front() != '[') continue;
    const size_t close = line.rfind(']');
    if (close == std::string_view::npos || close == 0) continue;
    const std::string section(orvanta::TrimIniBlanks(line.substr(1, close - 1)));
    document.ForEachKey(section, [&](std::string_view name, std::string_view) {
      std::string_view value;
      if (document.Find(section, name, value)) found.push_back({{section, std::string(name)}, std::string(value)});
    });
  }
  return found;
}

}  // namespace

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
  for (const auto& entry : Readable(before)) {
    const auto& [name, old] = entry;
    if (orvanta::IniNamesEqual(name.first, orvanta::TrimIniBlanks(section)) &&
        orvanta::IniNamesEqual(name.second, orvanta::TrimIniBlanks(key))) {
      continue;
    }
    std::string_view now;
    if (!reread.Find(name.first, name.second, now) || now != old) std::abort();
  }
  return 0;
}
