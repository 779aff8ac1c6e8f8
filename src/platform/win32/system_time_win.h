// Conversions between the program's SystemTime and the Windows SYSTEMTIME,
// which share one layout: eight unsigned 16-bit fields in the same order.
#pragma once

#include <windows.h>

#include <cstring>

#include "platform/system_time.h"

namespace orvanta {

static_assert(sizeof(SYSTEMTIME) == sizeof(SystemTime), "SystemTime must match SYSTEMTIME");

inline SYSTEMTIME ToWindowsTime(const SystemTime& t) {
  SYSTEMTIME w;
  std::memcpy(&w, &t, sizeof w);
  return w;
}

inline SystemTime FromWindowsTime(const SYSTEMTIME& w) {
  SystemTime t;
  std::memcpy(static_cast<void*>(&t), &w, sizeof t);  // the same sixteen bytes
  return t;
}

}  // namespace orvanta
