// Conversions between the program's SystemTime and the Windows SYSTEMTIME,
// which share one layout.
#pragma once

#include <windows.h>

#include "platform/system_time.h"

namespace orvanta {

inline SYSTEMTIME ToWindowsTime(const SystemTime& t) {
  SYSTEMTIME w;
  w.wYear = t.wYear;
  w.wMonth = t.wMonth;
  w.wDayOfWeek = t.wDayOfWeek;
  w.wDay = t.wDay;
  w.wHour = t.wHour;
  w.wMinute = t.wMinute;
  w.wSecond = t.wSecond;
  w.wMilliseconds = t.wMilliseconds;
  return w;
}

inline SystemTime FromWindowsTime(const SYSTEMTIME& w) {
  SystemTime t;
  t.wYear = w.wYear;
  t.wMonth = w.wMonth;
  t.wDayOfWeek = w.wDayOfWeek;
  t.wDay = w.wDay;
  t.wHour = w.wHour;
  t.wMinute = w.wMinute;
  t.wSecond = w.wSecond;
  t.wMilliseconds = w.wMilliseconds;
  return t;
}

}  // namespace orvanta
