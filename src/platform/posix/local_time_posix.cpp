#include "platform/local_time.h"

#include <ctime>

#include "platform/last_error.h"
#include "platform/posix/system_time_posix.h"

namespace orvanta {

bool UtcToLocalTime(const SystemTime& utc, SystemTime& local) {
  const time_t seconds = posix::ToUnixSeconds(utc);
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
