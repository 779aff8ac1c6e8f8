// Conversions between SystemTime and the C library's time types.
#pragma once

#include <ctime>

#include "platform/system_time.h"

namespace orvanta::posix {

inline time_t ToUnixSeconds(const SystemTime& utc) {
  std::tm broken{};
  broken.tm_year = utc.wYear - 1900;
  broken.tm_mon = utc.wMonth - 1;
  broken.tm_mday = utc.wDay;
  broken.tm_hour = utc.wHour;
  broken.tm_min = utc.wMinute;
  broken.tm_sec = utc.wSecond;
  return timegm(&broken);
}

// A broken-down time as SystemTime (tm_sec is 0-59: the kernel clock has no
// leap second 60).
inline SystemTime FromBrokenDown(const std::tm& parts, uint16_t milliseconds) {
  SystemTime t;
  t.wYear = static_cast<uint16_t>(parts.tm_year + 1900);
  t.wMonth = static_cast<uint16_t>(parts.tm_mon + 1);
  t.wDayOfWeek = static_cast<uint16_t>(parts.tm_wday);
  t.wDay = static_cast<uint16_t>(parts.tm_mday);
  t.wHour = static_cast<uint16_t>(parts.tm_hour);
  t.wMinute = static_cast<uint16_t>(parts.tm_min);
  t.wSecond = static_cast<uint16_t>(parts.tm_sec);
  t.wMilliseconds = milliseconds;
  return t;
}

}  // namespace orvanta::posix
