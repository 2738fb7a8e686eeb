// Variables: defaults, the type change rule, copy on write, ids, flags and
// the preconditions of their setters.
#include <set>

#include <gtest/gtest.h>

#include "dict/format_code.h"
#include "dict/variable.h"
#include "support/errors.h"

namespace vexa {
namespace {

// Formats A<width> (F8.2 for numerics), display width up to 50, numerics
// scale (0) and right aligned (1), strings nominal (1) and left aligned (0).
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
    EXPECT_EQ(v.DisplayWidth(), c.display_width);
    EXPECT_EQ(v.MeasureLevel(), c.measure);
    EXPECT_EQ(v.Alignment(), c.alignment);
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
    v.ClearModified();
    v.SetType(c.to_type);
    EXPECT_EQ(v.Type(), c.to_type);
    EXPECT_EQ(UnpackFormat(v.PrintFormat()), c.expected);
    EXPECT_EQ(UnpackFormat(v.WriteFormat()), c.expected);
    EXPECT_EQ(v.DisplayWidth(), 17);
    EXPECT_EQ(v.Modified(), c.from_type != c.to_type);
  }
}

TEST(VariableTest, PreconditionsRaise) {
  EXPECT_THROW(VEXA_Variable(-1), ContractViolation);
  EXPECT_THROW(VEXA_Variable(32768), ContractViolation);
  EXPECT_THROW(VEXA_Variable(0).SetType(32768), ContractViolation);
  EXPECT_THROW(VEXA_Variable().Type(), ContractViolation);
  VEXA_Variable s(8);
  EXPECT_THROW(s.SetMissingTexts(2, nullptr, "B", nullptr), ContractViolation);
  EXPECT_THROW(s.SetMissingTexts(2, "A", nullptr, "C"), ContractViolation);
  EXPECT_THROW(VEXA_Variable(0).SetMissingTexts(1, "A", nullptr, nullptr), ContractViolation);
}

// Copies share until one changes; the change and the modified flag stay
// with the changed copy, and the id with both.
TEST(VariableTest, CopyOnWriteKeepsTheIdAndMovesChangesAndTheFlag) {
  std::set<uint32_t> ids;
  for (int i = 0; i < 1000; ++i) ids.insert(VEXA_Variable(0).Id());
  EXPECT_EQ(ids.size(), 1000u);
  VEXA_Variable a(0);
  EXPECT_NE(a.Id(), 0xFFFFFFFFu);
  a.SetLabel("label a");
  VEXA_Variable b = a;
  EXPECT_TRUE(b.SharesImplWith(a));
  b.ClearModified();
  EXPECT_TRUE(a.Modified());
  b.SetLabel("label b");
  b.SetMeasureLevel(3);
  EXPECT_FALSE(b.SharesImplWith(a));
  EXPECT_EQ(b.Id(), a.Id());
  EXPECT_TRUE(b.Modified());
  EXPECT_EQ(a.Label(), "label a");
  EXPECT_EQ(a.MeasureLevel(), 0);
  EXPECT_EQ(b.Label(), "label b");
}

TEST(VariableTest, FlagBitFieldsDoNotOverlap) {
  VEXA_Variable v(0);
  v.SetMissingNumbers(kMissingRangeAndValue, 1, 2, 3);
  v.SetMeasureLevel(15);
  v.SetAlignment(3);
  v.ClearModified();
  EXPECT_EQ(v.MissingCode(), kMissingRangeAndValue);
  EXPECT_EQ(v.MeasureLevel(), 15);
  EXPECT_EQ(v.Alignment(), 3);
  v.SetMeasureLevel(0);
  v.SetAlignment(0);
  EXPECT_EQ(v.MissingCode(), kMissingRangeAndValue);
  EXPECT_TRUE(v.Modified());
}

}  // namespace
}  // namespace vexa
