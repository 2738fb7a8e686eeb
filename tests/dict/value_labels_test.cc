// Value label maps: ordering, byte-wise equality, string keys, sharing and
// iteration.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dict/value_labels.h"
#include "support/errors.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

TEST(NumericMapTest, ManyKeysInRandomOrderStaySortedAndFindable) {
  ValueLabelMap map(0);
  std::vector<double> values = {3.0, -7.5, 1e300, -1e300};
  uint32_t seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245u + 12345u;
    values.push_back(static_cast<double>(seed % 5000) - 2500.0);
  }
  for (double v : values) map.AddNumber(v, std::to_string(v));
  std::vector<double> keys;
  for (const auto& e : map.Entries()) {
    double v;
    std::memcpy(&v, e.key.data(), 8);
    keys.push_back(v);
  }
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_EQ(keys.front(), -1e300);
  EXPECT_EQ(keys.back(), 1e300);
  for (double v : values) {
    ASSERT_NE(map.FindNumber(v), nullptr) << v;
    EXPECT_EQ(*map.FindNumber(v), std::to_string(v));
  }
}

TEST(NumericMapTest, NegativeZeroIsAnotherKeyAndNanNeverCrashes) {
  ValueLabelMap map(0);
  map.AddNumber(0.0, "zero");
  EXPECT_EQ(map.FindNumber(-0.0), nullptr);
  ASSERT_NE(map.FindNumber(0.0), nullptr);
  map.AddNumber(-0.0, "negative zero");
  EXPECT_EQ(map.Count(), 2);
  ValueLabelMap nans(0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 50; ++i) {
    nans.AddNumber(i % 3 == 0 ? nan : i, "x");
    nans.AddNumber(-nan, "y");
  }
  nans.FindNumber(nan);  // may or may not find it; must not crash
  nans.FindNumber(7.0);
  EXPECT_GE(nans.Count(), 1);
  EXPECT_LE(nans.Count(), 100);
}

TEST(StringMapTest, KeysArePaddedToWholeUnitsAndCutOnWholeCharacters) {
  text::testing::ScopedInterfaceMode utf8(text::InterfaceMode::kUtf8);
  EXPECT_EQ(ValueLabelMap(4).TextKey("AB"), "AB      ");
  EXPECT_EQ(ValueLabelMap(12).TextKey("AB"), "AB" + std::string(14, ' '));
  EXPECT_EQ(ValueLabelMap(8).TextKey("ABCDEFGH"), "ABCDEFGH");
  EXPECT_EQ(ValueLabelMap(4).TextKey("ABCDEFGHIJ"), "ABCDEFGH");
  // Seven ASCII bytes and a two-byte character: the character does not fit.
  EXPECT_EQ(ValueLabelMap(4).TextKey("ABCDEFG\xC3\xA9"), "ABCDEFG ");
  ValueLabelMap map(12);
  map.AddText("yes", "Yes");
  EXPECT_EQ(*map.FindText("yes      "), "Yes");  // trailing blanks are padding
  EXPECT_EQ(map.FindText("YES"), nullptr);
}

// Setting the width makes a map private and keeps its entries; an
// unshareable map is copied on every new reference.
TEST(MapSharingTest, WidthChangesAndUnshareableMapsCopy) {
  ValueLabelMap empty(0);
  ValueLabelMap holder = empty;
  holder.SetWidth(12);
  EXPECT_FALSE(holder.SharesImplWith(empty));
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(holder.Width(), 12);
  ValueLabelMap full(0);
  full.AddRaw("ABCDEFGH", "label");
  holder = full;
  holder.SetWidth(4);
  EXPECT_EQ(full.Width(), 0);
  EXPECT_NE(holder.FindText("ABCDEFGH"), nullptr);

  full.SetUnshareable();
  ValueLabelMap copy = full;
  EXPECT_FALSE(copy.SharesImplWith(full));
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.Entries()[0].label, "label");
  holder = full;
  EXPECT_FALSE(holder.SharesImplWith(full));
}

TEST(MapIterationTest, VisitsEveryEntryInOrderOnlyAfterReset) {
  ValueLabelMap map(0);
  map.AddNumber(2.0, "b");
  map.AddNumber(1.0, "a");
  EXPECT_THROW(map.End(), ContractViolation);
  EXPECT_THROW(map.Next(), ContractViolation);
  std::string labels;
  for (map.Reset(); !map.End();) labels += map.Next().label;
  EXPECT_EQ(labels, "ab");
  EXPECT_THROW(map.Next(), ContractViolation);
  ValueLabelMap none;
  EXPECT_FALSE(none.IsValid());
  EXPECT_EQ(none.Count(), 0);
  EXPECT_EQ(none.FindNumber(1.0), nullptr);
  none.Reset();
  EXPECT_TRUE(none.End());
  EXPECT_THROW(none.AddNumber(1.0, "x"), ContractViolation);
}

}  // namespace
}  // namespace vexa
