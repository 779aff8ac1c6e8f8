// Broken-down calendar time, laid out exactly like the Windows SYSTEMTIME:
// eight unsigned 16-bit fields in this order. The clock takes and gives it,
// and the settings file stores it byte for byte.
#pragma once

#include <cstdint>

namespace orvanta {

struct SystemTime {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;      // 1-12
  uint16_t wDayOfWeek = 0;  // 0 = Sunday
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
};

static_assert(sizeof(SystemTime) == 16, "SystemTime must match SYSTEMTIME");

inline bool operator==(const SystemTime& a, const SystemTime& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
         a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute &&
         a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}
inline bool operator!=(const SystemTime& a, const SystemTime& b) { return !(a == b); }

}  // namespace orvanta
