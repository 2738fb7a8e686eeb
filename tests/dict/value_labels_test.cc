// Value label maps: ordering, replacement, byte-wise equality, string keys,
// sharing and iteration.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dict/value_labels.h"
#include "dict/variable.h"
#include "support/errors.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

double KeyNumber(const VEXA_VLMapImpl::Entry& e) {
  double v;
  std::memcpy(&v, e.key.data(), 8);
  return v;
}

std::vector<double> Numbers(const ValueLabelMap& map) {
  std::vector<double> out;
  for (const auto& e : map.Entries()) out.push_back(KeyNumber(e));
  return out;
}

TEST(NumericMapTest, EntriesAreSortedByValue) {
  ValueLabelMap map(0);
  for (double v : {3.0, 1.0, 2.0, -7.5, 1e300, -1e300}) {
    map.AddNumber(v, "l" + std::to_string(v));
  }
  EXPECT_EQ(Numbers(map),
            (std::vector<double>{-1e300, -7.5, 1.0, 2.0, 3.0, 1e300}));
}

TEST(NumericMapTest, AddingTheSameValueReplacesTheLabel) {
  ValueLabelMap map(0);
  map.AddNumber(1.0, "first");
  map.AddNumber(1.0, "second");
  ASSERT_EQ(map.Count(), 1);
  EXPECT_EQ(*map.FindNumber(1.0), "second");
}

TEST(NumericMapTest, NegativeZeroIsAnotherKey) {
  ValueLabelMap map(0);
  map.AddNumber(0.0, "zero");
  EXPECT_EQ(map.FindNumber(-0.0), nullptr);
  ASSERT_NE(map.FindNumber(0.0), nullptr);
  map.AddNumber(-0.0, "negative zero");
  EXPECT_EQ(map.Count(), 2);
}

TEST(NumericMapTest, NanKeysNeverCrash) {
  ValueLabelMap map(0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 50; ++i) {
    map.AddNumber(i % 3 == 0 ? nan : i, "x");
    map.AddNumber(-nan, "y");
  }
  map.FindNumber(nan);  // may or may not find it; must not crash
  map.FindNumber(7.0);
  EXPECT_GE(map.Count(), 1);
  EXPECT_LE(map.Count(), 100);
}

TEST(NumericMapTest, ManyKeysInRandomOrderStaySortedAndFindable) {
  ValueLabelMap map(0);
  uint32_t seed = 12345;
  std::vector<double> values;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245u + 12345u;
    values.push_back(static_cast<double>(seed % 5000) - 2500.0);
    map.AddNumber(values.back(), std::to_string(values.back()));
  }
  const std::vector<double> keys = Numbers(map);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  for (double v : values) {
    ASSERT_NE(map.FindNumber(v), nullptr) << v;
    EXPECT_EQ(*map.FindNumber(v), std::to_string(v));
  }
}

class StringMapTest : public ::testing::Test {
 protected:
  text::InterfaceMode saved_ = text::GetInterfaceMode();
  void SetUp() override { text::SetInterfaceMode(text::InterfaceMode::kUtf8); }
  void TearDown() override { text::SetInterfaceMode(saved_); }
};

TEST_F(StringMapTest, KeysArePaddedToWholeUnits) {
  EXPECT_EQ(ValueLabelMap(4).TextKey("AB"), "AB      ");
  EXPECT_EQ(ValueLabelMap(12).TextKey("AB"), "AB" + std::string(14, ' '));
  EXPECT_EQ(ValueLabelMap(8).TextKey("ABCDEFGH"), "ABCDEFGH");
}

TEST_F(StringMapTest, LongTextsAreCutOnWholeCharacters) {
  // Seven ASCII bytes and a two-byte character: the character does not fit.
  EXPECT_EQ(ValueLabelMap(4).TextKey("ABCDEFG\xC3\xA9"), "ABCDEFG ");
  EXPECT_EQ(ValueLabelMap(4).TextKey("ABCDEFGHIJ"), "ABCDEFGH");
}

TEST_F(StringMapTest, TextLookupMatchesPaddedKey) {
  ValueLabelMap map(12);
  map.AddText("yes", "Yes");
  map.AddText("no", "No");
  EXPECT_EQ(*map.FindText("yes"), "Yes");
  EXPECT_EQ(*map.FindText("yes      "), "Yes");  // trailing blanks are padding
  EXPECT_EQ(map.FindText("YES"), nullptr);
  EXPECT_EQ(map.Entries()[0].key.size(), 16u);
}

TEST(MapSharingTest, ChangeThroughOneVariableLeavesTheOtherAlone) {
  ValueLabelMap shared(0);
  shared.AddNumber(1.0, "one");
  VEXA_Variable a(0);
  VEXA_Variable b(0);
  a.SetValueLabels(shared);
  b.SetValueLabels(shared);
  EXPECT_TRUE(a.ValueLabels().SharesImplWith(b.ValueLabels()));

  a.MutableValueLabels().AddNumber(2.0, "two");

  EXPECT_EQ(a.ValueLabels().Count(), 2);
  EXPECT_EQ(b.ValueLabels().Count(), 1);
  EXPECT_EQ(b.ValueLabels().FindNumber(2.0), nullptr);
  EXPECT_FALSE(a.ValueLabels().SharesImplWith(b.ValueLabels()));
}

TEST(MapSharingTest, SettingWidthOfEmptyMapReplacesIt) {
  ValueLabelMap original(0);
  ValueLabelMap holder = original;
  holder.SetWidth(12);
  EXPECT_FALSE(holder.SharesImplWith(original));
  EXPECT_EQ(original.Width(), 0);
  EXPECT_EQ(holder.Width(), 12);
}

TEST(MapSharingTest, SettingWidthKeepsEntriesAndPrivatises) {
  ValueLabelMap original(0);
  original.AddRaw("ABCDEFGH", "label");
  ValueLabelMap holder = original;
  holder.SetWidth(4);
  EXPECT_EQ(holder.Width(), 4);
  EXPECT_EQ(original.Width(), 0);
  ASSERT_NE(holder.FindText("ABCDEFGH"), nullptr);
}

TEST(MapSharingTest, UnshareableMapIsCopiedOnNewReference) {
  ValueLabelMap map(0);
  map.AddNumber(1.0, "one");
  map.SetUnshareable();
  ValueLabelMap copy = map;
  EXPECT_FALSE(copy.SharesImplWith(map));
  EXPECT_EQ(*copy.FindNumber(1.0), "one");
  ValueLabelMap assigned;
  assigned = map;
  EXPECT_FALSE(assigned.SharesImplWith(map));
}

TEST(MapIterationTest, VisitsEveryEntryInOrder) {
  ValueLabelMap map(0);
  map.AddNumber(2.0, "b");
  map.AddNumber(1.0, "a");
  std::string labels;
  for (map.Reset(); !map.End();) labels += map.Next().label;
  EXPECT_EQ(labels, "ab");
  EXPECT_THROW(map.Next(), ContractViolation);
}

TEST(MapIterationTest, IteratingWithoutResetIsAContractViolation) {
  ValueLabelMap map(0);
  map.AddNumber(1.0, "a");
  EXPECT_THROW(map.End(), ContractViolation);
  EXPECT_THROW(map.Next(), ContractViolation);
}

TEST(MapIterationTest, EmptyReferenceHasNoEntries) {
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
