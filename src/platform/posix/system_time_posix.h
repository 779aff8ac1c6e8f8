// SystemTime (UTC) to seconds of the Unix epoch.
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

}  // namespace orvanta::posix
