// Field text as values and values as text for people: ISO 8601 dates both
// ways, the changes a number may suffer, print formats.
#include "csv_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "value_text.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

TEST(CsvValuesTest, IsoDatesReadBackAsWritten) {
  const std::pair<const char*, TimeKind> cases[] = {
      {"1582-10-14", TimeKind::kDate},          {"2024-02-29", TimeKind::kDate},
      {"9999-12-31", TimeKind::kDate},          {"2024-03-01T10:20:30", TimeKind::kDateTime},
      {"2000-01-01T00:00:00", TimeKind::kDateTime}, {"2024-03-01T23:59:59.25", TimeKind::kDateTime},
  };
  for (const auto& [text, kind] : cases) {
    double value = -1;
    bool has_time = false;
    ASSERT_TRUE(ParseIsoDate(text, &value, &has_time)) << text;
    EXPECT_EQ(has_time, kind == TimeKind::kDateTime) << text;
    EXPECT_EQ(IsoText(value, kind), text);
  }
  double value = 0;
  bool has_time = false;
  ASSERT_TRUE(ParseIsoDate("2024-03-01 10:20:30", &value, &has_time));  // a blank for the T
  EXPECT_EQ(IsoText(value, TimeKind::kDateTime), "2024-03-01T10:20:30");
  double day = 0;
  ASSERT_EQ(vexaConvertDate(1, 3, 2024, &day), VEXA_OK);
  EXPECT_EQ(value, day + 10 * 3600 + 20 * 60 + 30);
}

TEST(CsvValuesTest, NotIsoDates) {
  for (const char* text : {"2023-02-29", "2024-13-01", "2024-00-10", "2024-04-31", "1582-10-13",
                           "24-03-01", "2024/03/01", "2024-3-1", "2024-03-01T10:20",
                           "2024-03-01T25:00:00", "2024-03-01X10:20:30", "2024-03-01T10:20:30.",
                           "2024-03-01T10:20:30Z", "", "20240301"}) {
    double value = 0;
    bool has_time = false;
    EXPECT_FALSE(ParseIsoDate(text, &value, &has_time)) << text;
  }
}

TEST(CsvValuesTest, NumbersThatDoNotStoreAsWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {"01234", "leading zeros dropped"},
      {"-007", "leading zeros dropped"},
      {"12345678901234567891", "integer beyond 2^53 stored with digits lost"},
      {"nan", "NaN or infinity taken as a number"},
      {"-inf", "NaN or infinity taken as a number"},
      {"0", nullptr}, {"0.5", nullptr}, {"-0.25", nullptr}, {"9007199254740992", nullptr},
      {"1e300", nullptr}, {"123456789012345678.5", nullptr},
  };
  for (const auto& [text, change] : cases) {
    double value = 0;
    ASSERT_TRUE(ParseNumber(text, &value)) << text;
    const char* got = NumberChange(text, value);
    EXPECT_EQ(got == nullptr ? "" : std::string(got), change == nullptr ? "" : change) << text;
  }
}

TEST(CsvValuesTest, IsoDurationsReadBackAsWritten) {
  for (const char* text : {"00:00:00", "10:20:30", "30:01:01.5", "-00:01:01", "123:59:59.25"}) {
    double value = 0;
    ASSERT_TRUE(ParseIsoDuration(text, &value)) << text;
    EXPECT_EQ(IsoText(value, TimeKind::kDuration), text);
  }
  for (const char* text : {"1:00:00", "10:60:00", "10:00:60", "10:00", "10:00:00.", "10-00-00",
                           "10:00:00x", "", "-"}) {
    double value = 0;
    EXPECT_FALSE(ParseIsoDuration(text, &value)) << text;
  }
}

TEST(CsvValuesTest, DurationsAndFormats) {
  EXPECT_EQ(IsoText(3600 * 30 + 61.5, TimeKind::kDuration), "30:01:01.5");
  EXPECT_EQ(IsoText(-61, TimeKind::kDuration), "-00:01:01");
  EXPECT_EQ(IsoText(-1, TimeKind::kDate), "");
  EXPECT_EQ(IsoText(NAN, TimeKind::kDate), "");
  const std::pair<FormatSpec, const char*> cases[] = {
      {{5, 8, 2}, "1234567.50"},      {{3, 12, 1}, "1,234,567.5"}, {{4, 14, 2}, "$1,234,567.50"},
      {{31, 6, 0}, "1234568%"},       {{5, 8, 0}, "1234568"},
  };
  for (const auto& [format, text] : cases) EXPECT_EQ(FormattedText(1234567.5, format), text);
  EXPECT_EQ(FormattedText(-1234.5, {4, 10, 2}), "-$1,234.50");
  EXPECT_EQ(FormattedText(-123.0, {3, 10, 0}), "-123");
  double value = 0;
  bool has_time = false;
  ASSERT_TRUE(ParseIsoDate("2024-03-01", &value, &has_time));
  EXPECT_EQ(FormattedText(value, {20, 11, 0}), "2024-03-01");
  EXPECT_EQ(TimeKindOf(5), TimeKind::kNone);
  EXPECT_EQ(TimeKindOf(26), TimeKind::kNone);  // week days are numbers 1 to 7
}

}  // namespace
}  // namespace vexa::tool
