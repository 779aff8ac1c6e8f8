#include "platform/local_time.h"

#include <windows.h>

#include "platform/win32/system_time_win.h"

namespace orvanta {

bool UtcToLocalTime(const SystemTime& utc, SystemTime& local) {
  const SYSTEMTIME in = ToWindowsTime(utc);
  SYSTEMTIME out;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &in, &out)) return false;
  local = FromWindowsTime(out);
  return true;
}

}  // namespace orvanta
