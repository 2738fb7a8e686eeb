// CSV input: reading records (quoting, line ends, and the faults that must
// stop an import rather than shift its columns), field text as values and
// values as text for people (ISO 8601 dates both ways, the changes a number
// may suffer, print formats).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "csv_reader.h"
#include "csv_values.h"
#include "support/temp_dir.h"
#include "value_text.h"

namespace vexa::tool {
namespace {

using Records = std::vector<std::vector<std::string>>;

class CsvReaderTest : public ::testing::Test {
 protected:
  // All records of `bytes` and the lines they start on. A read error fails
  // the test, unless `error` is given to take its text ("" when none).
  Records ReadAll(const std::string& bytes, char delimiter = ',', std::vector<int>* lines = nullptr,
                  std::string* error = nullptr) {
    CsvReader csv;
    EXPECT_TRUE(csv.Open(dir_.Write("in.csv", bytes), delimiter));
    Records out;
    std::vector<std::string> fields;
    CsvReader::Result r;
    while ((r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
      out.push_back(fields);
      if (lines != nullptr) lines->push_back(csv.RecordLine());
    }
    if (error != nullptr) {
      *error = r == CsvReader::Result::kError ? csv.Error() : "";
    } else {
      EXPECT_EQ(r, CsvReader::Result::kEnd) << csv.Error();
    }
    return out;
  }

  testing::TempDir dir_;
};

// Blank lines are no records (a quoted empty field is one) but count as
// lines, as do line breaks inside quotes; other delimiters split the same
// way; records longer than the buffer stay whole.
TEST_F(CsvReaderTest, QuotingEmptyFieldsLineEndsAndDelimiters) {
  const std::string big(200000, 'x');
  const struct {
    std::string bytes;
    Records records;
    char delimiter = ',';
    std::vector<int> lines = {};  // where the records start, when checked
  } cases[] = {
      {"a,b,c\n\"x, y\",\"say \"\"hi\"\"\",\"two\nlines\"\n",
       {{"a", "b", "c"}, {"x, y", "say \"hi\"", "two\nlines"}}},
      {",\"\",\n", {{"", "", ""}}},
      {"a,b\r\n1,2\r\n", {{"a", "b"}, {"1", "2"}}},
      {"a,b\r1,2", {{"a", "b"}, {"1", "2"}}},
      {"", {}},
      {"\"a\r\nb\"\r\nc\r\n", {{"a\r\nb"}, {"c"}}, ',', {1, 3}},  // CRLF inside quotes is data
      {"\xEF\xBB\xBFid,name\n", {{"id", "name"}}},
      {"5\" screen,x\n", {{"5\" screen", "x"}}},  // a quote inside a field
      {"a\n\n1\r\n\r\n\n2\n\n", {{"a"}, {"1"}, {"2"}}, ',', {1, 3, 6}},
      {"\"\"\n\n", {{""}}},
      {"a\tb,c\n\"x\ty\"\t2\n", {{"a", "b,c"}, {"x\ty", "2"}}, '\t'},
      {"\"" + big + "\"," + big + "\n", {{big, big}}},
  };
  for (const auto& c : cases) {
    std::vector<int> lines;
    EXPECT_EQ(ReadAll(c.bytes, c.delimiter, &lines), c.records) << c.bytes.substr(0, 40);
    EXPECT_EQ(c.lines.empty() ? c.lines : lines, c.lines) << c.bytes;
  }
}

// An unterminated quote (with its line) and text after a closing quote are
// errors; a missing file does not open.
TEST_F(CsvReaderTest, FaultsAreErrors) {
  std::string error;
  ReadAll("a,b\n1,\"open\n2,3\n", ',', nullptr, &error);
  EXPECT_NE(error.find("line 2"), std::string::npos);
  ReadAll("\"a\"b,c\n", ',', nullptr, &error);
  EXPECT_NE(error, "");
  EXPECT_FALSE(CsvReader().Open(dir_.File("absent.csv")));
}

// ISO texts read back as written; texts that are not quite ISO are refused.
TEST(CsvValuesTest, IsoTextsReadBackAsWrittenOthersAreRefused) {
  const std::pair<const char*, TimeKind> cases[] = {
      {"1582-10-14", TimeKind::kDate},          {"2024-02-29", TimeKind::kDate},
      {"9999-12-31", TimeKind::kDate},          {"2024-03-01T23:59:59.25", TimeKind::kDateTime},
      {"00:00:00", TimeKind::kDuration},        {"-00:01:01", TimeKind::kDuration},
      {"123:59:59.25", TimeKind::kDuration},
  };
  for (const auto& [text, kind] : cases) {
    double value = -1;
    bool has_time = false;
    ASSERT_TRUE(kind == TimeKind::kDuration ? ParseIsoDuration(text, &value)
                                            : ParseIsoDate(text, &value, &has_time)) << text;
    EXPECT_EQ(has_time, kind == TimeKind::kDateTime) << text;
    EXPECT_EQ(IsoText(value, kind), text);
  }
  double value = 0;
  bool has_time = false;
  ASSERT_TRUE(ParseIsoDate("2024-03-01 10:20:30", &value, &has_time));  // a blank for the T
  EXPECT_EQ(IsoText(value, TimeKind::kDateTime), "2024-03-01T10:20:30");
  for (const char* text : {"2023-02-29", "2024-13-01", "2024-00-10", "2024-04-31", "1582-10-13",
                           "", "2024/03/01", "2024-3-1", "2024-03-01T10:20", "2024-03-01T25:00:00",
                           "2024-03-01X10:20:30", "2024-03-01T10:20:30.", "2024-03-01T10:20:30Z"}) {
    EXPECT_FALSE(ParseIsoDate(text, &value, &has_time)) << text;
  }
  for (const char* text : {"1:00:00", "10:60:00", "10:00:60", "10:00", "10:00:00.", "10-00-00",
                           "10:00:00x", "", "-"}) {
    EXPECT_FALSE(ParseIsoDuration(text, &value)) << text;
  }
}

TEST(CsvValuesTest, NumbersThatDoNotStoreAsWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {"01234", "leading zeros dropped"}, {"-007", "leading zeros dropped"},
      {"9007199254740993", "integer beyond 2^53 stored with digits lost"},
      {"-00009007199254740995", "leading zeros dropped"}, {"18014398509481984", nullptr},
      {"9007199254740993.00", "integer beyond 2^53 stored with digits lost"},
      {"9007199254740992.", nullptr},
      {"nan", "NaN or infinity taken as a number"}, {"-inf", "NaN or infinity taken as a number"},
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

// A date before the calendar's start shows as its number; week days are
// numbers.
TEST(CsvValuesTest, Formats) {
  const std::tuple<double, FormatSpec, const char*> cases[] = {
      {1234567.5, {5, 8, 2}, "1234567.50"},  {1234567.5, {3, 12, 1}, "1,234,567.5"},
      {-1234.5, {4, 10, 2}, "-$1,234.50"},   {1234567.5, {31, 6, 0}, "1234568%"},
      {-123.0, {3, 10, 0}, "-123"},          {-1, {20, 11, 0}, "-1"}};
  for (const auto& [value, format, text] : cases) EXPECT_EQ(FormattedText(value, format), text);
  EXPECT_EQ(TimeKindOf(26), TimeKind::kNone);
}

}  // namespace
}  // namespace vexa::tool
