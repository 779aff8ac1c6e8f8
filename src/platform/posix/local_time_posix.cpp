#include "platform/local_time.h"

#include <ctime>

#include "platform/last_error.h"

namespace orvanta {

bool UtcToLocalTime(const SystemTime& utc, SystemTime& local) {
  std::tm broken{};
  broken.tm_year = utc.wYear - 1900;
  broken.tm_mon = utc.wMonth - 1;
  broken.tm_mday = utc.wDay;
  broken.tm_hour = utc.wHour;
  broken.tm_min = utc.wMinute;
  broken.tm_sec = utc.wSecond;
  const time_t seconds = timegm(&broken);
  std::tm out{};
  tzset();
  if (localtime_r(&seconds, &out) == nullptr) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  local.wYear = static_cast<uint16_t>(out.tm_year + 1900);
  local.wMonth = static_cast<uint16_t>(out.tm_mon + 1);
  local.wDayOfWeek = static_cast<uint16_t>(out.tm_wday);
  local.wDay = static_cast<uint16_t>(out.tm_mday);
  local.wHour = static_cast<uint16_t>(out.tm_hour);
  local.wMinute = static_cast<uint16_t>(out.tm_min);
  local.wSecond = static_cast<uint16_t>(out.tm_sec);
  local.wMilliseconds = utc.wMilliseconds;
  return true;
}

}  // namespace orvanta
