// Day numbers of the Gregorian calendar counted from the date epoch,
// 14 October 1582 (day 0). Date-time values are seconds since that epoch.
#pragma once

#include <cstdint>

namespace vexa {

constexpr int64_t kSecondsPerDay = 86400;

// The day number of a date. The day is not compared with the length of its
// month: 31 February counts on into March.
constexpr int64_t DayNumber(int64_t year, int64_t month, int64_t day) {
  int64_t a = month < 3 ? 1 : 0;
  int64_t y = year - a;
  int64_t m = month < 3 ? month + 9 : month - 3;
  int64_t c = y / 100;
  return (146097 * c) / 4 + (153 * m + 2) / 5 + day +
         (1461 * (y - 100 * c)) / 4 - 578041;
}

struct CivilDate {
  int64_t year;
  int month;  // 1-12
  int day;    // 1-31
};

// The date of a day number (0 or more).
constexpr CivilDate DateOfDayNumber(int64_t days) {
  // Days since 1 March of year 0, walked through the 400-year cycle.
  int64_t z = days + 578040;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr bool IsLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Days in a month (1-12) of a year.
constexpr int DaysInMonth(int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Whether a calendar date exists and lies in the range of date values:
// 14 October 1582 to 31 December 9999.
constexpr bool IsDateInRange(int64_t year, int month, int day) {
  return year >= 1582 && year <= 9999 && month >= 1 && month <= 12 &&
         day >= 1 && day <= DaysInMonth(year, month) &&
         DayNumber(year, month, day) >= 0;
}

static_assert(DayNumber(1582, 10, 14) == 0);
static_assert(!IsDateInRange(1582, 10, 13) && !IsDateInRange(1900, 2, 29));
static_assert(DateOfDayNumber(DayNumber(2024, 2, 29)).day == 29);

}  // namespace vexa
