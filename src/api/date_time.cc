// Conversions between calendar dates or time spans and the numeric date and
// time values: a date value counts seconds from 14 October 1582, 00:00; a
// time value counts the seconds of a span. They touch no handle, so nothing
// here needs a guard: every path returns a code of its own.
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "support/calendar.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr double kSecondsPerDayF = static_cast<double>(kSecondsPerDay);
constexpr double kMaxInt = std::numeric_limits<int>::max();
// Beyond this many seconds the whole days no longer fit the day arithmetic.
constexpr double kMaxDateValue = 8.64e18;

}  // namespace

extern "C" {

VEXA_API int vexaConvertDate(int day, int month, int year, double* vexaDate) {
  if (vexaDate) *vexaDate = 0.0;
  if (vexaDate == nullptr || !IsDateInRange(year, month, day)) {
    return VEXA_E_BAD_DATE;
  }
  *vexaDate = static_cast<double>(DayNumber(year, month, day)) * kSecondsPerDayF;
  return VEXA_OK;
}

VEXA_API int vexaConvertVEXADate(int* day, int* month, int* year,
                                 double vexaDate) {
  for (int* out : {day, month, year}) {
    if (out) *out = 0;
  }
  if (!day || !month || !year) return VEXA_E_BAD_DATE;
  // Negative values and NaN are no dates; the fraction of a day is ignored.
  if (!(vexaDate >= 0.0) || vexaDate >= kMaxDateValue) return VEXA_E_BAD_DATE;
  const CivilDate date = DateOfDayNumber(
      static_cast<int64_t>(std::floor(vexaDate / kSecondsPerDayF)));
  if (date.year > kMaxInt) return VEXA_E_BAD_DATE;
  *day = date.day;
  *month = date.month;
  *year = static_cast<int>(date.year);
  return VEXA_OK;
}

VEXA_API int vexaConvertTime(int day, int hour, int minute, double second,
                             double* vexaTime) {
  if (vexaTime) *vexaTime = 0.0;
  if (vexaTime == nullptr || day < 0 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || !(second >= 0.0 && second < 60.0)) {
    return VEXA_E_BAD_TIME;
  }
  *vexaTime = ((static_cast<double>(day) * 24 + hour) * 60 + minute) * 60 +
              second;
  return VEXA_OK;
}

VEXA_API int vexaConvertVEXATime(int* day, int* hour, int* minute,
                                 double* second, double vexaTime) {
  for (int* out : {day, hour, minute}) {
    if (out) *out = 0;
  }
  if (second) *second = 0.0;
  if (!day || !hour || !minute || !second) return VEXA_E_BAD_TIME;
  if (!(vexaTime >= 0.0)) return VEXA_E_BAD_TIME;
  const double days = std::trunc(vexaTime / kSecondsPerDayF);
  if (days > kMaxInt) return VEXA_E_BAD_TIME;
  const int minutes_of_day =
      static_cast<int>(std::fmod(vexaTime, kSecondsPerDayF) / 60.0);
  *day = static_cast<int>(days);
  *hour = minutes_of_day / 60;
  *minute = minutes_of_day % 60;
  *second = std::fmod(vexaTime, 60.0);
  return VEXA_OK;
}

}  // extern "C"
