// The typed readers of the settings file, each applying the program's one
// rule for its value, and the writer of a synchronization's result. Every
// call reads the file afresh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system_time.h"
#include "settings/settings_file.h"

namespace orvanta {

// "OPTIONS"/"period" in minutes: a value above 9999 taken as unsigned (so also
// any negative one) gives 9999; 0 (also a missing key, an empty value or text
// without digits) gives 120.
uint32_t ReadPeriodMinutes(const SettingsFile& settings);

// The wait of the "once" role in milliseconds, from "OPTIONS"/"delay" in
// seconds (default 0): above 86400 taken as unsigned gives 10 s; the result is
// raised to at least 4000 ms.
uint32_t ReadOnceDelayMs(const SettingsFile& settings);

// "OPTIONS"/"nts_certificates": the PEM file of extra trust anchors for NTS
// servers, empty when there is none. A relative path is taken from the
// settings file's folder, as the service's working folder is not the user's.
std::string ReadNtsTrustFile(const SettingsFile& settings);

// The key of the n-th server (n from 1): "server_<n>".
std::string ServerKey(int n);

// Fills list with "SERVERS"/"server_1", "server_2", ... until the first one
// that is missing or empty, each cut to kServerNameSize - 1 characters; the
// default server alone when there is none.
void LoadServerList(const SettingsFile& settings, std::vector<std::string>& list);

// "INFO"/"last", the local time of the last clock adjustment; false (local
// untouched) when absent or not a valid encoding.
bool ReadLastSync(const SettingsFile& settings, SystemTime& local);

// Records a clock adjustment in one replacement of the file: "INFO"/"adjusted"
// as the offset in seconds with three decimals ("%.3lf"), and "INFO"/"last".
bool WriteSyncResult(const SettingsFile& settings, const SystemTime& local, double offsetSeconds);

}  // namespace orvanta
