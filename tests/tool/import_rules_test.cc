// How `vexa import` infers a column from messy CSV: the delimiter found
// from the header, --na tokens, decimal commas and thousands separators,
// percent and dollar marks, date patterns; and, when a column becomes a
// string, the one line that says why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv_delimiter.h"
#include "csv_infer.h"
#include "format_text.h"
#include "support/temp_dir.h"

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
};

TEST(ImportRulesTest, InferredColumnsAndWhatIsSaid) {
  const ImportCase cases[] = {
      // The options make numbers of what is text without them.
      {"a;b\n1.234,56;x\n-7,5;y\n", "F8.2 A1", "", ',', '.'},
      {"a;b\n1.234,56;x\n", "A8 A1", "1: a: '1.234,56' is not a number; the column is a string (--decimal comma?)"},
      {"n\n\"1,234,567\"\n12\n", "F7.0", "", '.', ','},
      {"n\n\"1,234\"\n", "A5", "(--thousands ','?)"},
      {"n\n\"1,23\"\n", "A4", "'1,23' is not a number", '.', ','},
      {"n\n\"0,123\"\n", "A5", "is not a number", '.', ','},
      {"n,s\nNA,NA\n1,x\n-,y\n.,z\n", "F1.0 A2"},
      {"n\n-99\n5\n", "F1.0", "", '.', 0, "-99"},
      {"n\n-99\nNA\n", "A3", "'NA' is not a number; the column is a string (--na?)", '.', 0, "-99"},
      {"n\nNA\n", "-"},
      {"p\n12%\n5.5%\n", "PCT5.1"},
      {"d\n$99.00\n-$1234.50\n", "DOLLAR10.2"},
      {"d\n\"$1.234,50\"\n", "DOLLAR9.2", "", ',', '.'},
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
    ImportNotes notes("in.csv", false);
    InferredDictionary dict;
    std::string error;
    ::testing::internal::CaptureStderr();
    const bool ok = InferDictionary(path, layout, notes, &dict, &error);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, c.error.empty());
    EXPECT_EQ(error, c.error);
    std::string formats;
    for (const FormatSpec& f : dict.formats) {
      formats += (formats.empty() ? "" : " ") + (f.type < 0 ? "-" : FormatText(f));
    }
    EXPECT_EQ(formats, c.formats);
    if (c.said.empty()) {
      EXPECT_EQ(said, "");
    } else {
      EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
  }
}

// Under --strict, an integer without a double of its own fails the import
// even where the column could hold it as text.
TEST(ImportRulesTest, StrictRefusesLostDigits) {
  testing::TempDir dir;
  CsvLayout layout;
  ImportNotes notes("in.csv", true);
  InferredDictionary dict;
  std::string error = "unset";
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(InferDictionary(dir.Write("in.csv", "n\n18014398509481985\n"), layout, notes,
                               &dict, &error));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("--strict"), std::string::npos);
  EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace vexa::tool
