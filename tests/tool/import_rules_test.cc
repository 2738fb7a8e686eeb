// How `vexa import` infers a column from messy CSV: the delimiter found
// from the header, --na tokens, decimal commas and thousands separators,
// percent and dollar marks, date patterns; and, when a column becomes a
// string, the one line that says why.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "csv_delimiter.h"
#include "csv_infer.h"
#include "csv_values.h"
#include "format_text.h"
#include "support/temp_dir.h"
#include "value_text.h"

namespace vexa::tool {
namespace {

struct ImportCase {
  std::string csv;
  std::string formats;  // per column, "-" for the default numeric format
  std::string said = "";  // a part of what stderr holds ("": nothing said)
  char decimal = '.';
  char thousands = 0;
  const char* na = nullptr;  // the default tokens
  std::vector<std::string> dates = {};  // "T" before a date-time pattern
  std::string error = "";
  bool strict = false;  // an integer without a double of its own then fails the import
};

TEST(ImportRulesTest, InferredColumnsAndWhatIsSaid) {
  const ImportCase cases[] = {
      // The options make numbers of what is text without them.
      {"a;b\n1.234,56;x\n-7,5;y\n", "F8.2 A1", "", ',', '.'},
      {"a;b\n1.234,56;x\n", "A8 A1", "1: a: '1.234,56' is not a number; the column is a string (--decimal comma?)"},
      {"n\n\"1,234,567\"\n12\n", "F7.0", "", '.', ','},
      {"n\n\"1,234\"\n", "A5", "(--thousands comma?)"},
      {"n\n\"0,123\"\n", "A5", "is not a number", '.', ','},
      {"n,s\nNA,NA\n1,x\n-,y\n.,z\n", "F1.0 A2"},
      {"n\n-99\n5\n", "F1.0", "", '.', 0, "-99"},
      {"n\n-99\nNA\n", "A3", "'NA' is not a number; the column is a string (--na?)", '.', 0, "-99"},
      {"n\nNA\n", "-"},
      {"p\n12%\n5.5%\n", "PCT5.1"},
      {"d\n$99.00\n-$1234.50\n", "DOLLAR10.2"},
      {"p\n12%\n5\n", "A3", "p: '5' has no mark, the numbers before it a percent sign"},
      {"d,t\n01.03.1980,3/1/2024 10:20\n", "DATE11 DATETIME20", "", '.', 0, nullptr,
       {"%d.%m.%Y", "T%m/%d/%Y %H:%M"}},
      {"d\n3/1/2024\n-\n25/1/2024\n", "DATE11", "", '.', 0, nullptr, {"%m/%d/%Y", "%d/%m/%Y"}},
      {"t\n1 Mar 2024 10:20:30.25\n", "DATETIME23.2", "", '.', 0, nullptr, {"T%d %b %Y %T"}},
      // Why a column is a string, once, with the field that decided it.
      {"d\n01.03.1980\n02.03.1980\n", "A10", "2:1: d: '01.03.1980' is not a number; the column is a string (--date-format '%d.%m.%Y'?)"},
      {"d\n3/1/2024 10:20\n", "A14", "(--datetime-format '%m/%d/%Y %H:%M'?)"},
      {"d\n2024-03-01\nsoon\n", "A10", "3:1: d: 'soon' is not a date like the values before it"},
      {"d\n31.02.2024\n", "A10", "is not a number", '.', 0, nullptr, {"%d.%m.%Y"}},
      {"z\n1\n007\n", "A3", "3:1: z: '007' would not store as written (leading zeros dropped)"},
      {"n\n9007199254740993\n", "A16", "warning: n: '9007199254740993' would not store as written"},
      {"n\n18014398509481985\n", "", "--strict", '.', 0, nullptr, {}, "", true},
      {"w\nAnn\n5\n", "A3"},  // words from the start: nothing said
      // The delimiter is the header's most frequent one, outside quotes.
      {"a\tb\n1\t2\n", "F1.0 F1.0"},
      {"a|b\n1|2\n", "F1.0 F1.0"},
      {"\"a,b\";c\n1,5;2\n", "F3.1 F1.0", "renamed a_b", ','},
      {"x;y,z\n1;2,5,6\n", "", "renamed x_y", '.', 0, nullptr, {},
       "line 2: 3 fields, the header has 2 (--delimiter semicolon would fit)"},
  };
  testing::TempDir dir;
  for (const ImportCase& c : cases) {
    SCOPED_TRACE(c.csv);
    const std::string path = dir.Write("in.csv", c.csv);
    CsvLayout layout;
    ASSERT_TRUE(DetectDelimiter(path, &layout.delimiter));
    layout.rules.decimal = c.decimal;
    layout.rules.thousands = c.thousands;
    if (c.na != nullptr) layout.rules.SetNaTokens(c.na);
    for (const std::string& text : c.dates) {
      DatePattern p;
      const bool with_time = text[0] == 'T';
      ASSERT_EQ(p.Parse(with_time ? text.substr(1) : text, with_time), "");
      layout.rules.dates.push_back(p);
    }
    ImportNotes notes("in.csv", c.strict);
    InferredDictionary dict;
    std::string error;
    ::testing::internal::CaptureStderr();
    const bool ok = InferDictionary(path, layout, notes, &dict, &error);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, c.error.empty() && !c.strict);
    EXPECT_EQ(error, c.error);
    std::string formats;
    for (const FormatSpec& f : dict.formats)
      formats += (formats.empty() ? "" : " ") + (f.type < 0 ? "-" : FormatText(f));
    EXPECT_EQ(formats, c.formats);
    EXPECT_TRUE(c.said.empty() ? said.empty() : said.find(c.said) != std::string::npos) << said;
  }
}

// Numbers under the rules: grouping in threes only, one decimal mark, the
// marks only where they belong, and the change a grouped integer suffers.
TEST(ImportRulesTest, NumbersUnderTheRules) {
  const struct {
    const char* text;
    char decimal, thousands;
    double value;  // NaN: no number
    Mark mark = Mark::kNone;
    const char* change = nullptr;
  } cases[] = {
      {"1.234.567,5", ',', '.', 1234567.5},   {"-1.234", ',', '.', -1234},
      {"12.34,5", ',', '.', NAN},             {"1.2345", ',', '.', NAN},
      {".123", ',', '.', NAN},                {"1,5.3", ',', '.', NAN},
      {"1.5", ',', 0, NAN},                   {"1,5", ',', 0, 1.5},
      {"1 234,5", ',', ' ', 1234.5},          {"1,234.5", '.', ',', 1234.5},
      {"1.234,5%", ',', '.', 1234.5, Mark::kPercent},
      {"-$1.000,50", ',', '.', -1000.5, Mark::kDollar},
      {"$-5", '.', 0, -5, Mark::kDollar},    {"%", '.', 0, NAN},
      {"$", '.', 0, NAN},                     {"5%%", '.', 0, NAN},
      {"$5%", '.', 0, NAN},                   {"1e3", ',', '.', 1000},
      {"9.007.199.254.740.993", ',', '.', 9007199254740992.0, Mark::kNone, kDigitsLost},
  };
  for (const auto& c : cases) {
    FieldRules rules;
    rules.decimal = c.decimal;
    rules.thousands = c.thousands;
    NumberReader reader(rules);
    double value = 0;
    Mark mark = Mark::kNone;
    const char* change = nullptr;
    const bool number = reader.Read(c.text, &value, &mark, &change);
    EXPECT_EQ(number, c.value == c.value) << c.text;
    if (!number || c.value != c.value) continue;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(mark, c.mark) << c.text;
    EXPECT_STREQ(change, c.change) << c.text;
  }
}

TEST(ImportRulesTest, DatePatterns) {
  const struct {
    const char* pattern;
    const char* text;
    const char* iso;  // nullptr: the text does not fit
  } cases[] = {
      {"%d.%m.%Y", "1.3.1980", "1980-03-01"},     {"%m/%d/%y", "12/31/68", "2068-12-31"},
      {"%m/%d/%y", "1/1/69", "1969-01-01"},       {"%d %b %Y", "5 SEPTEMBER 2024", "2024-09-05"},
      {"%d %b %Y", "5 Sep 2024", "2024-09-05"},   {"%F", "2024-02-29", "2024-02-29"},
      {"%d.%m.%Y", "29.02.2023", nullptr},        {"%d.%m.%Y", "01.03.1980x", nullptr},
      {"%d.%m.%Y", "01.03.80", nullptr},          {"%d %b %Y", "5 Sept 2024", nullptr},
      {"%Y%%%m%%%d", "2024%3%1", "2024-03-01"},   {"%d.%m.%Y", "001.03.1980", nullptr},
      {"%d.%m.%Y %H:%M", "1.3.1980 24:00", nullptr},
      {"%d.%m.%Y %T", "1.3.1980 23:59:59.5", "1980-03-01T23:59:59.5"},
  };
  for (const auto& c : cases) {
    DatePattern p;
    const bool with_time = std::string_view(c.pattern).find_first_of("HT") != std::string_view::npos;
    ASSERT_EQ(p.Parse(c.pattern, with_time), "") << c.pattern;
    double value = 0;
    int decimals = 0;
    const bool fits = p.Read(c.text, &value, &decimals);
    EXPECT_EQ(fits, c.iso != nullptr) << c.pattern << " " << c.text;
    if (fits && c.iso != nullptr) {
      EXPECT_EQ(IsoText(value, with_time ? TimeKind::kDateTime : TimeKind::kDate), c.iso);
    }
  }
  for (const auto& [pattern, with_time] : {std::pair{"%d.%m", false}, {"%d.%m.%Y %H", true},
                                           {"%d.%m.%Y %H:%M", false}, {"%d.%m.%Q", false},
                                           {"%d.%m.%Y%", false}}) {
    EXPECT_NE(DatePattern().Parse(pattern, with_time), "") << pattern;
  }
}

}  // namespace
}  // namespace vexa::tool
