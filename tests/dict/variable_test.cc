// Variables: defaults, the type change rule, copies and ids. Value label
// maps: ordering, byte-wise equality and string keys.
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dict/format_code.h"
#include "dict/value_labels.h"
#include "dict/variable.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

// Formats A<width> (F8.2 for numerics), display width up to 50; numerics
// of unknown measure (0) aligned right (1), strings nominal (1) aligned left.
TEST(VariableTest, Defaults) {
  const struct {
    int type;
    Format format;
    int display_width, measure, alignment;
  } cases[] = {{0, {8, 5, 2}, 8, 0, 1},     {1, {1, 1, 0}, 1, 1, 0},
               {50, {50, 1, 0}, 50, 1, 0},  {51, {51, 1, 0}, 50, 1, 0},
               {300, {300, 1, 0}, 50, 1, 0}, {32767, {32767, 1, 0}, 50, 1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    VEXA_Variable v(c.type);
    EXPECT_EQ(UnpackFormat(v.PrintFormat()), c.format);
    EXPECT_EQ(UnpackFormat(v.WriteFormat()), c.format);
    EXPECT_EQ((std::vector{v.DisplayWidth(), v.MeasureLevel(), v.Alignment()}),
              (std::vector{c.display_width, c.measure, c.alignment}));
  }
}

// AHEX follows the width while it fits; other formats of a string follow the
// width as A, of a numeric go to F8.2. The display width stays; a change to
// the same type changes nothing.
TEST(VariableTest, TypeChangesMoveTheFormatsByTheRule) {
  const struct {
    int from_type;
    Format from_format;
    int to_type;
    Format expected;
  } cases[] = {{10, {20, 2, 0}, 100, {200, 2, 0}}, {10, {20, 2, 0}, 126, {252, 2, 0}},
               {10, {20, 2, 0}, 127, {127, 1, 0}}, {10, {20, 2, 0}, 0, {8, 5, 2}},
               {10, {10, 1, 0}, 300, {300, 1, 0}}, {0, {12, 20, 0}, 8, {8, 1, 0}},
               {8, {8, 1, 0}, 0, {8, 5, 2}},       {10, {20, 2, 0}, 10, {20, 2, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from_type << " to " << c.to_type);
    VEXA_Variable v(c.from_type);
    v.SetPrintFormat(PackFormat(c.from_format));
    v.SetWriteFormat(PackFormat(c.from_format));
    v.SetDisplayWidth(17);
    v.SetType(c.to_type);
    EXPECT_EQ(UnpackFormat(v.PrintFormat()), c.expected);
    EXPECT_EQ(UnpackFormat(v.WriteFormat()), c.expected);
    EXPECT_EQ(v.DisplayWidth(), 17);
  }
}

// Copies keep the id; a change stays with the copy changed.
TEST(VariableTest, CopiesKeepTheIdAndChangesStayWithTheCopy) {
  VEXA_Variable a(0);
  a.SetLabel("label a");
  VEXA_Variable b = a;
  b.SetLabel("label b");
  EXPECT_EQ(b.Id(), a.Id());
  EXPECT_NE(VEXA_Variable(0).Id(), a.Id());
  EXPECT_EQ(a.Label() + "|" + b.Label(), "label a|label b");
}

// Keys added at the front, the back, in between and again; negative zero
// is another key than zero.
TEST(NumericMapTest, KeysInAnyOrderStaySortedAndFindable) {
  ValueLabelMap map(0);
  const std::vector<double> values = {3.0, -7.5, 1e300, -1e300, 0.0, 0.5, 3.0, 2.0, -7.5};
  for (double v : values) map.AddNumber(v, std::to_string(v));
  double previous = -std::numeric_limits<double>::infinity();
  for (const auto& e : map.Entries()) {  // in increasing order, each once
    double v;
    std::memcpy(&v, e.key.data(), 8);
    EXPECT_LT(previous, v);
    previous = v;
  }
  for (double v : values) {
    ASSERT_NE(map.FindNumber(v), nullptr) << v;
    EXPECT_EQ(*map.FindNumber(v), std::to_string(v));
  }
  EXPECT_EQ(map.FindNumber(-0.0), nullptr);
  map.AddNumber(-0.0, "negative zero");
  EXPECT_EQ(map.Count(), 8);
}

TEST(StringMapTest, KeysArePaddedToWholeUnitsAndCutOnWholeCharacters) {
  text::testing::ScopedInterfaceMode utf8(text::InterfaceMode::kUtf8);
  EXPECT_EQ(ValueLabelMap(4).TextKey("AB"), "AB      ");
  EXPECT_EQ(ValueLabelMap(12).TextKey("AB"), "AB" + std::string(14, ' '));
  // Seven ASCII bytes and a two-byte character: the character does not fit.
  EXPECT_EQ(ValueLabelMap(4).TextKey("ABCDEFG\xC3\xA9"), "ABCDEFG ");
  ValueLabelMap map(12);
  map.AddText("yes", "Yes");
  EXPECT_EQ(*map.FindText("yes      "), "Yes");  // trailing blanks are padding
  EXPECT_EQ(map.FindText("YES"), nullptr);
  // Keys that differ only after their first 8 bytes are different keys.
  ValueLabelMap wide(16);
  const char* const keys[] = {"first8bytesB", "first8bytesA", "first8bytesC"};
  for (const char* k : keys) wide.AddText(k, k);
  for (const char* k : keys) EXPECT_EQ(*wide.FindText(k), k);
}

}  // namespace
}  // namespace vexa
