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
  local = posix::FromBrokenDown(out, utc.wMilliseconds);
  return true;
}

}  // namespace orvanta
