#include "settings/settings_readers.h"

#include <cstdio>
#include <string_view>
#include <unordered_map>

#include "settings/factory_servers.h"
#include "settings/ini_document.h"
#include "settings/settings_keys.h"
#include "settings/struct_encoding.h"

namespace orvanta {

namespace {

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

uint32_t ReadPeriodMinutes(const SettingsFile& settings) {
  const uint32_t minutes = settings.GetInt(kSectionOptions, kKeyPeriod, kDefaultPeriodMinutes);
  if (minutes > kMaxPeriodMinutes) return kMaxPeriodMinutes;
  if (minutes == 0) return kDefaultPeriodMinutes;
  return minutes;
}

uint32_t ReadOnceDelayMs(const SettingsFile& settings) {
  uint32_t seconds = settings.GetInt(kSectionOptions, kKeyDelay, kDefaultOnceDelaySeconds);
  if (seconds > kMaxOnceDelaySeconds) seconds = kOnceDelayFallbackSeconds;
  const uint32_t ms = seconds * 1000u;
  return ms < kMinOnceDelayMs ? kMinOnceDelayMs : ms;
}

std::string ServerKey(int n) {
  char key[32];
  std::snprintf(key, sizeof key, kServerKeyFormat, n);
  return key;
}

void LoadServerList(const SettingsFile& settings, std::vector<std::string>& list) {
  list.clear();
  // One reading of the file; the first key of each name wins, as for a read
  // of that key alone.
  const IniDocument document = settings.Snapshot();
  std::unordered_map<std::string, std::string_view> servers;
  document.ForEachKey(kSectionServers, [&servers](std::string_view name, std::string_view raw) {
    servers.emplace(LowerAscii(name), raw);
  });
  for (int n = 1;; ++n) {
    const auto found = servers.find(ServerKey(n));
    if (found == servers.end()) break;
    std::string_view name = StripQuotes(found->second);
    if (name.empty()) break;
    if (name.size() > kServerNameSize - 1) name = name.substr(0, kServerNameSize - 1);
    list.emplace_back(name);
  }
  if (list.empty()) list.emplace_back(kDefaultServer);
}

bool ReadLastSync(const SettingsFile& settings, SystemTime& local) {
  return settings.GetStruct(kSectionInfo, kKeyLast, &local, sizeof local);
}

bool WriteSyncResult(const SettingsFile& settings, const SystemTime& local, double offsetSeconds) {
  char adjusted[kAdjustedSize];
  std::snprintf(adjusted, sizeof adjusted, "%.3lf", offsetSeconds);
  return settings.Write({{kSectionInfo, kKeyAdjusted, adjusted},
                         {kSectionInfo, kKeyLast, EncodeStruct(&local, sizeof local)}});
}

}  // namespace orvanta
