// Variables: defaults, the type change rule, copy on write, missing values.
#include <cstring>
#include <set>

#include <gtest/gtest.h>

#include "dict/format_code.h"
#include "dict/variable.h"
#include "support/errors.h"

namespace vexa {
namespace {

struct DefaultsCase {
  int type;
  Format format;
  int display_width;
  int measure;
  int alignment;
};

class VariableDefaultsTest : public ::testing::TestWithParam<DefaultsCase> {};

TEST_P(VariableDefaultsTest, NewVariable) {
  const DefaultsCase& c = GetParam();
  VEXA_Variable v(c.type);
  EXPECT_EQ(UnpackFormat(v.PrintFormat()), c.format);
  EXPECT_EQ(UnpackFormat(v.WriteFormat()), c.format);
  EXPECT_EQ(v.DisplayWidth(), c.display_width);
  EXPECT_EQ(v.MeasureLevel(), c.measure);
  EXPECT_EQ(v.Alignment(), c.alignment);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VariableDefaultsTest,
    ::testing::Values(DefaultsCase{0, {8, 5, 2}, 8, 0, 1},
                      DefaultsCase{1, {1, 1, 0}, 1, 1, 0},
                      DefaultsCase{50, {50, 1, 0}, 50, 1, 0},
                      DefaultsCase{51, {51, 1, 0}, 50, 1, 0},
                      DefaultsCase{300, {300, 1, 0}, 50, 1, 0},
                      DefaultsCase{32767, {32767, 1, 0}, 50, 1, 0}));

TEST(VariableTest, OutOfRangeTypesAndInvalidReferencesRaise) {
  EXPECT_THROW(VEXA_Variable(-1), ContractViolation);
  EXPECT_THROW(VEXA_Variable(32768), ContractViolation);
  EXPECT_THROW(VEXA_Variable(0).SetType(32768), ContractViolation);
  EXPECT_THROW(VEXA_Variable().Type(), ContractViolation);
}

TEST(VariableTest, IdsAreUniqueTaggedAndSurviveCopyAndRename) {
  std::set<uint32_t> ids;
  for (int i = 0; i < 1000; ++i) ids.insert(VEXA_Variable(0).Id());
  EXPECT_EQ(ids.size(), 1000u);
  VEXA_Variable v(0);
  EXPECT_NE(v.Id(), 0xFFFFFFFFu);
  VEXA_Variable copy = v;
  copy.SetName("renamed");  // forces a private copy
  EXPECT_FALSE(copy.SharesImplWith(v));
  EXPECT_EQ(copy.Id(), v.Id());
}

struct TypeChangeCase {
  const char* label;
  int from_type;
  Format from_format;
  int to_type;
  Format expected;
};

void PrintTo(const TypeChangeCase& c, std::ostream* os) { *os << c.label; }

class TypeChangeTest : public ::testing::TestWithParam<TypeChangeCase> {};

TEST_P(TypeChangeTest, FormatsFollowTheRule) {
  const TypeChangeCase& c = GetParam();
  VEXA_Variable v(c.from_type);
  v.SetPrintFormat(PackFormat(c.from_format));
  v.SetWriteFormat(PackFormat(c.from_format));
  v.SetDisplayWidth(17);
  v.SetType(c.to_type);
  EXPECT_EQ(v.Type(), c.to_type);
  EXPECT_EQ(UnpackFormat(v.PrintFormat()), c.expected);
  EXPECT_EQ(UnpackFormat(v.WriteFormat()), c.expected);
  EXPECT_EQ(v.DisplayWidth(), 17);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TypeChangeTest,
    ::testing::Values(
        TypeChangeCase{"ahex_follows_width", 10, {20, 2, 0}, 100, {200, 2, 0}},
        TypeChangeCase{"ahex_last_fit", 10, {20, 2, 0}, 126, {252, 2, 0}},
        TypeChangeCase{"ahex_too_wide", 10, {20, 2, 0}, 127, {127, 1, 0}},
        TypeChangeCase{"ahex_to_numeric", 10, {20, 2, 0}, 0, {8, 5, 2}},
        TypeChangeCase{"string_to_string", 10, {10, 1, 0}, 300, {300, 1, 0}},
        TypeChangeCase{"numeric_to_string", 0, {12, 20, 0}, 8, {8, 1, 0}},
        TypeChangeCase{"string_to_numeric", 8, {8, 1, 0}, 0, {8, 5, 2}}));

TEST(TypeChangeTest, SameTypeChangesNothing) {
  VEXA_Variable v(10);
  v.SetPrintFormat(PackFormat({20, 2, 0}));
  v.ClearModified();
  v.SetType(10);
  EXPECT_EQ(UnpackFormat(v.PrintFormat()), (Format{20, 2, 0}));
  EXPECT_FALSE(v.Modified());
}

TEST(VariableCopyOnWriteTest, ChangesAndModifiedFlagStayWithTheChangedCopy) {
  VEXA_Variable a(0);
  a.SetLabel("label a");
  VEXA_Variable b = a;
  EXPECT_TRUE(b.SharesImplWith(a));
  b.ClearModified();
  EXPECT_TRUE(a.Modified());
  b.SetLabel("label b");
  b.SetMeasureLevel(3);
  EXPECT_TRUE(b.Modified());
  EXPECT_EQ(a.Label(), "label a");
  EXPECT_EQ(a.MeasureLevel(), 0);
  EXPECT_EQ(b.Label(), "label b");
}

TEST(VariableFlagsTest, BitFieldsDoNotOverlap) {
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

TEST(MissingValuesTest, TextPreconditions) {
  VEXA_Variable s(8);
  EXPECT_THROW(s.SetMissingTexts(2, nullptr, "B", nullptr), ContractViolation);
  EXPECT_THROW(s.SetMissingTexts(2, "A", nullptr, "C"), ContractViolation);
  EXPECT_THROW(VEXA_Variable(0).SetMissingTexts(1, "A", nullptr, nullptr),
               ContractViolation);
}

}  // namespace
}  // namespace vexa
