#include "sync/calendar.h"

#include <gtest/gtest.h>

namespace orvanta {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

TEST(CalendarTest, KnownDayNumbers) {
  EXPECT_EQ(DateToDayNumber(1, 1, 1), 1721426);
  EXPECT_EQ(DateToDayNumber(1582, 10, 15), 2299161);  // first day of the Gregorian calendar
  EXPECT_EQ(DateToDayNumber(1900, 1, 1), 2415021);
  EXPECT_EQ(DateToDayNumber(2000, 1, 1), 2451545);
  EXPECT_EQ(DateToDayNumber(2036, 2, 7), 2464731);
  EXPECT_EQ(DateToDayNumber(9999, 12, 31), 5373484);
}

// Walks every day from 0001-01-01 to 9999-12-31 with a month-length rule of
// its own: each date must get the next day number, and come back from it.
TEST(CalendarTest, EveryDayOfYearsOneToNineThousandNineHundredNinetyNine) {
  int32_t expected = 1721426;
  int failures = 0;
  for (int year = 1; year <= 9999; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day, ++expected) {
        const int32_t number = DateToDayNumber(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                               static_cast<uint16_t>(day));
        uint16_t y = 0, m = 0, d = 0;
        DayNumberToDate(expected, y, m, d);
        if (number != expected || y != year || m != month || d != day) {
          ADD_FAILURE() << year << "-" << month << "-" << day << ": day number " << number << ", expected "
                        << expected << "; day " << expected << " gave " << y << "-" << m << "-" << d;
          if (++failures == 10) return;
        }
      }
    }
  }
  EXPECT_EQ(expected, 5373484 + 1);
}

}  // namespace
}  // namespace orvanta
