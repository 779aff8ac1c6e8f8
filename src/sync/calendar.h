// Proleptic Gregorian calendar helpers: a date to its Julian day number and
// back, in integer arithmetic (the integer form of ACM Algorithm 199).
#pragma once

#include <cstdint>

namespace orvanta {

// Julian day number of 1900-01-01, day 0 of the NTP era.
constexpr int32_t kNtpEpochDayNumber = 2415021;

// Julian day number of a date (month 1-12, day 1-31). 1900-01-01 gives 2415021.
int32_t DateToDayNumber(uint16_t year, uint16_t month, uint16_t day);

// The date of a Julian day number; the inverse of DateToDayNumber.
void DayNumberToDate(int32_t dayNumber, uint16_t& year, uint16_t& month, uint16_t& day);

}  // namespace orvanta
