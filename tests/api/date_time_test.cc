// The date and time conversions: every day from 14 October 1582 to
// 31 December 9999 against the standard library's calendar, and the values
// each conversion refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "vexaio.h"

namespace vexa::testing {
namespace {

namespace chr = std::chrono;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Every day converts to the seconds since the first day, and back from any
// time of that day.
TEST(ConvertDateTest, EveryDayAgreesWithTheStandardCalendar) {
  const chr::sys_days epoch = chr::year{1582} / chr::October / 14;
  const chr::sys_days last = chr::year{9999} / chr::December / 31;
  for (chr::sys_days day = epoch; day <= last; day += chr::days{1}) {
    const chr::year_month_day ymd{day};
    const int d = static_cast<int>(static_cast<unsigned>(ymd.day()));
    const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int y = static_cast<int>(ymd.year());
    double value = -1.0;
    ASSERT_EQ(vexaConvertDate(d, m, y, &value), VEXA_OK) << y << '-' << m << '-' << d;
    ASSERT_EQ(value, (day - epoch).count() * 86400.0) << y << '-' << m << '-' << d;
    int d2 = 0, m2 = 0, y2 = 0;
    ASSERT_EQ(vexaConvertVEXADate(&d2, &m2, &y2, value + (d % 2 ? 86399.5 : 0)), VEXA_OK);
    ASSERT_TRUE(d2 == d && m2 == m && y2 == y) << y << '-' << m << '-' << d;
  }
}

TEST(ConvertDateTest, InvalidDatesAndValuesAreRefused) {
  const int bad[][3] = {{13, 10, 1582}, {29, 2, 1900}, {31, 4, 2020},
                        {0, 1, 2020},   {1, 13, 2020}, {1, 1, 10000}};
  for (const auto& [day, month, year] : bad) {
    double value = -1.0;
    EXPECT_EQ(vexaConvertDate(day, month, year, &value), VEXA_E_BAD_DATE) << year << month;
    EXPECT_EQ(value, 0.0);
  }
  for (double value : {-1.0, kNaN, kInf}) {
    int d = -1, m = -1, y = -1;
    EXPECT_EQ(vexaConvertVEXADate(&d, &m, &y, value), VEXA_E_BAD_DATE);
    EXPECT_EQ(d + m + y, 0);
  }
}

TEST(ConvertTimeTest, SpansBothWaysAndTheirLimits) {
  const struct {
    int days, hours, minutes;
    double seconds, value;
  } good[] = {{1, 2, 3, 4.5, 93784.5}, {0, 0, 0, 0.0, 0.0},
              {100000, 23, 59, 59.25, 8640000000.0 + 86399.25},
              {2147483647, 0, 0, 0.0, 2147483647.0 * 86400}},  // the most days
    bad[] = {{0, 0, 0, 60.0, 0}, {0, 0, 0, -0.5, 0}, {0, 0, 0, kNaN, 0},
             {0, 24, 0, 0.0, 0}, {0, 0, 60, 0.0, 0}, {-1, 0, 0, 0.0, 0}};
  int d = -1, h = -1, m = -1;
  double s = -1.0, value = -1.0;
  for (const auto& c : good) {
    EXPECT_EQ(vexaConvertTime(c.days, c.hours, c.minutes, c.seconds, &value), VEXA_OK);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(vexaConvertVEXATime(&d, &h, &m, &s, c.value), VEXA_OK);
    EXPECT_TRUE(d == c.days && h == c.hours && m == c.minutes && s == c.seconds) << c.value;
  }
  for (const auto& c : bad) {
    EXPECT_EQ(vexaConvertTime(c.days, c.hours, c.minutes, c.seconds, &value), VEXA_E_BAD_TIME);
    EXPECT_EQ(value, 0.0);
  }
  for (double bad_value : {-0.5, kNaN, kInf, 2147483648.0 * 86400}) {
    EXPECT_EQ(vexaConvertVEXATime(&d, &h, &m, &s, bad_value), VEXA_E_BAD_TIME);
    EXPECT_TRUE(d == 0 && h == 0 && m == 0 && s == 0.0);
  }
}

}  // namespace
}  // namespace vexa::testing
