// Names and limits of the settings file: its sections and keys exactly as they
// appear in the file (sections upper case, keys lower case), the defaults the
// readers fall back to, and the buffer sizes the program reads values with.
#pragma once

#include <cstdint>

namespace orvanta {

constexpr const char* kSectionOptions = "OPTIONS";
constexpr const char* kKeyPeriod = "period";  // minutes between periodic synchronizations
constexpr const char* kKeyDelay = "delay";    // seconds the "once" role waits before it synchronizes
constexpr const char* kKeyNtsCertificates = "nts_certificates";  // PEM file of extra NTS trust anchors

constexpr const char* kSectionServers = "SERVERS";
constexpr const char* kServerKeyFormat = "server_%d";  // server_1 is the preferred server

constexpr const char* kSectionInfo = "INFO";
constexpr const char* kKeyLast = "last";          // local time of the last adjustment (structure encoding)
constexpr const char* kKeyAdjusted = "adjusted";  // offset applied then, seconds, "%.3lf"

constexpr uint32_t kDefaultPeriodMinutes = 120;
constexpr uint32_t kMaxPeriodMinutes = 9999;

constexpr uint32_t kDefaultOnceDelaySeconds = 0;
constexpr uint32_t kMaxOnceDelaySeconds = 86400;      // one day
constexpr uint32_t kOnceDelayFallbackSeconds = 10;    // taken instead of a larger value
constexpr uint32_t kMinOnceDelayMs = 4000;

// Buffer sizes in characters, the terminator included: a value is cut to one less.
constexpr uint32_t kServerNameSize = 260;
constexpr uint32_t kAdjustedSize = 100;

// Longest settings path, the terminator included.
constexpr uint32_t kMaxSettingsPath = 260;

}  // namespace orvanta
