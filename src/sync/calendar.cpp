#include "sync/calendar.h"

namespace orvanta {

// Every division below truncates toward zero. The year counts from March, so
// that the leap day closes it.

int32_t DateToDayNumber(uint16_t year, uint16_t month, uint16_t day) {
  int32_t m = 0;
  int32_t y = 0;
  if (month > 2) {
    m = month - 3;
    y = year;
  } else {
    m = month + 9;
    y = year - 1;
  }
  const int32_t c = y / 100;
  const int32_t ya = y - 100 * c;
  return (146097 * c) / 4 + (1461 * ya) / 4 + (153 * m + 2) / 5 + day + 1721119;
}

void DayNumberToDate(int32_t dayNumber, uint16_t& year, uint16_t& month, uint16_t& day) {
  // 64-bit, so that no day number can overflow 4 x j.
  const int64_t t = 4 * int64_t{dayNumber} - 6884477;
  const int64_t c = t / 146097;
  const int64_t d = (t - 146097 * c) / 4;
  const int64_t ya = (4 * d + 3) / 1461;
  const int64_t e = (4 * d + 7 - 1461 * ya) / 4;
  const int64_t m = (5 * e - 3) / 153;
  int64_t y = 100 * c + ya;
  if (m < 10) {
    month = static_cast<uint16_t>(m + 3);
  } else {
    month = static_cast<uint16_t>(m - 9);
    ++y;
  }
  day = static_cast<uint16_t>((5 * e - 153 * m + 2) / 5);
  year = static_cast<uint16_t>(y);
}

}  // namespace orvanta
