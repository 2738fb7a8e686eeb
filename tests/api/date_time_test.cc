// The date and time conversions: worked values, the validity rules, and
// every day from 14 October 1582 to 31 December 9999 against the standard
// library's calendar.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "vexaio.h"

namespace vexa::testing {
namespace {

namespace chr = std::chrono;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ConvertDateTest, WorkedValuesAndInvalidDates) {
  struct {
    int day, month, year, code;
    double value;
  } const cases[] = {
      {14, 10, 1582, VEXA_OK, 0.0},          {1, 1, 1970, VEXA_OK, 12219379200.0},
      {29, 2, 2000, VEXA_OK, 13171161600.0}, {31, 12, 9999, VEXA_OK, 265621593600.0},
      {13, 10, 1582, VEXA_E_BAD_DATE, 0.0},  {29, 2, 1900, VEXA_E_BAD_DATE, 0.0},
      {31, 4, 2020, VEXA_E_BAD_DATE, 0.0},   {0, 1, 2020, VEXA_E_BAD_DATE, 0.0},
      {1, 13, 2020, VEXA_E_BAD_DATE, 0.0},   {1, 1, 10000, VEXA_E_BAD_DATE, 0.0},
  };
  for (const auto& c : cases) {
    double value = -1.0;
    EXPECT_EQ(vexaConvertDate(c.day, c.month, c.year, &value), c.code)
        << c.year << '-' << c.month << '-' << c.day;
    EXPECT_EQ(value, c.value);
  }
  int d = -1, m = -1, y = -1;
  EXPECT_EQ(vexaConvertVEXADate(&d, &m, &y, 86399.0), VEXA_OK);
  EXPECT_EQ(d * 10000 + m * 100 + y % 100, 141082);
  for (double bad : {-1.0, kNaN, kInf}) {
    EXPECT_EQ(vexaConvertVEXADate(&d, &m, &y, bad), VEXA_E_BAD_DATE);
    EXPECT_EQ(d + m + y, 0);
  }
}

// Every day converts to the value the standard calendar gives, and back.
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
    ASSERT_EQ(vexaConvertVEXADate(&d2, &m2, &y2, value + 86399.5), VEXA_OK);
    ASSERT_TRUE(d2 == d && m2 == m && y2 == y) << y << '-' << m << '-' << d;
  }
}

TEST(ConvertTimeTest, SpansBothWaysAndTheirLimits) {
  double value = -1.0;
  EXPECT_EQ(vexaConvertTime(1, 2, 3, 4.5, &value), VEXA_OK);
  EXPECT_EQ(value, 93784.5);
  const struct {
    int days, hours, minutes;
    double seconds;
  } bad[] = {{0, 0, 0, 60.0}, {0, 0, 0, -0.5}, {0, 0, 0, kNaN},
             {0, 24, 0, 0.0}, {0, 0, 60, 0.0}, {-1, 0, 0, 0.0}};
  for (const auto& c : bad) {
    EXPECT_EQ(vexaConvertTime(c.days, c.hours, c.minutes, c.seconds, &value),
              VEXA_E_BAD_TIME);
    EXPECT_EQ(value, 0.0);
  }
  int d = -1, h = -1, m = -1;
  double s = -1.0;
  EXPECT_EQ(vexaConvertVEXATime(&d, &h, &m, &s, 93784.5), VEXA_OK);
  EXPECT_TRUE(d == 1 && h == 2 && m == 3 && s == 4.5);
  EXPECT_EQ(vexaConvertVEXATime(&d, &h, &m, &s, 8640000000.0 + 86399.25), VEXA_OK);
  EXPECT_TRUE(d == 100000 && h == 23 && m == 59 && s == 59.25);
  for (double bad_value : {-0.5, kNaN, kInf}) {
    EXPECT_EQ(vexaConvertVEXATime(&d, &h, &m, &s, bad_value), VEXA_E_BAD_TIME);
    EXPECT_TRUE(d == 0 && h == 0 && m == 0 && s == 0.0);
  }
}

}  // namespace
}  // namespace vexa::testing
