#include "settings/settings_readers.h"

#include <cstdio>
#include <string_view>

#include "settings/factory_servers.h"
#include "settings/ini_document.h"
#include "settings/settings_keys.h"
#include "settings/struct_encoding.h"

namespace orvanta {

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

std::string ReadNtsTrustFile(const SettingsFile& settings) {
  const std::string file = settings.GetString(kSectionOptions, kKeyNtsCertificates, kMaxSettingsPath);
  const bool absolute = file.empty() || file[0] == '/' || file[0] == '\\' || (file.size() > 1 && file[1] == ':');
  if (absolute) return file;
  const std::size_t folder = settings.Path().find_last_of("/\\");
  return folder == std::string::npos ? file : settings.Path().substr(0, folder + 1) + file;
}

std::string ServerKey(int n) {
  char key[32];
  std::snprintf(key, sizeof key, kServerKeyFormat, n);
  return key;
}

void LoadServerList(const SettingsFile& settings, std::vector<std::string>& list) {
  list.clear();
  // One reading of the file for the whole list.
  const IniDocument document = settings.Snapshot();
  for (int n = 1;; ++n) {
    std::string_view raw;
    if (!document.Find(kSectionServers, ServerKey(n), raw)) break;
    std::string_view name = StripQuotes(raw);
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
