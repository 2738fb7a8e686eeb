// The dictionary: slot layout under add, insert and remove; the weight
// variable; the case buffer of a dictionary.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dict/case.h"
#include "dict/dictionary.h"

namespace vexa {
namespace {

// Widths 0, 8, 9 and 300: 1, 1, 2 and 38 slots.
class DictionaryTest : public ::testing::Test {
 protected:
  void SetUp() override { for (int width : {0, 8, 9, 300}) dict_.Add(VEXA_Variable(width)); }
  Dictionary dict_;
};

TEST_F(DictionaryTest, LaysOutSlotsAfterEveryChange) {
  const struct {
    const char* name;
    void (*change)(Dictionary&);
    std::vector<int32_t> first_slots;
    int32_t slot_count;
    int32_t last_variable_slots;
  } cases[] = {
      {"add", [](Dictionary&) {}, {0, 1, 2, 4}, 42, 38},
      {"remove_middle", [](Dictionary& d) { d.Remove(2, 2); }, {0, 1, 2}, 40, 38},
      {"remove_tail", [](Dictionary& d) { d.Remove(2, 3); }, {0, 1}, 2, 1},
      {"remove_all", [](Dictionary& d) { d.Remove(2, 3); d.Remove(0, 1); }, {}, 0, 0},
      {"insert", [](Dictionary& d) { d.Insert(1, VEXA_Variable(17)); }, {0, 1, 4, 5, 7}, 45, 38},
      {"insert_at_end",
       [](Dictionary& d) { d.Insert(1, VEXA_Variable(17)); d.Insert(d.Count(), VEXA_Variable(0)); },
       {0, 1, 4, 5, 7, 45}, 46, 1},
      {"type_change", [](Dictionary& d) { d.SetVariableType(1, 20); }, {0, 1, 4, 6}, 44, 38},
      {"type_change_of_last", [](Dictionary& d) { d.SetVariableType(1, 20); d.SetVariableType(3, 8); },
       {0, 1, 4, 6}, 7, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Dictionary d = dict_;
    c.change(d);
    std::vector<int32_t> first;
    for (int i = 0; i < d.Count(); ++i) first.push_back(d.FirstSlot(i));
    EXPECT_EQ(first, c.first_slots);
    EXPECT_EQ(d.SlotCount(), c.slot_count);
    EXPECT_EQ(d.LastVariableSlots(), c.last_variable_slots);
    EXPECT_EQ(d.FirstSlot(d.Count()), c.slot_count);
  }
}

TEST_F(DictionaryTest, WeightFollowsTheVariableAndClearsOutsideTheList) {
  dict_.SetWeightIndex(2);
  dict_.Insert(0, VEXA_Variable(0));
  EXPECT_EQ(dict_.WeightIndex(), 3);
  dict_.Remove(3, 3);
  EXPECT_EQ(dict_.WeightIndex(), -1);
  dict_.SetWeightIndex(0);
  dict_.SetWeightIndex(99);
  EXPECT_EQ(dict_.WeightIndex(), -1);
}

TEST_F(DictionaryTest, NewCaseIsSysmisAndBlanksAndABorrowedBufferIsLeftAlone) {
  dict_.Remove(3, 3);  // widths 0, 8 and 9: 32 bytes
  VEXA_Case c(dict_);
  ASSERT_EQ(c.Bytes(), 32u);
  uint64_t first;
  std::memcpy(&first, c.Data(), 8);
  EXPECT_EQ(first, 0xFFEFFFFFFFFFFFFFull);
  EXPECT_EQ(std::string(c.Data() + 8, 24), std::string(24, ' '));
  std::string buffer(32, 'z');
  EXPECT_EQ(VEXA_Case(dict_, buffer.data()).Data(), buffer.data());
  EXPECT_EQ(buffer, std::string(32, 'z'));
  VEXA_Case::Clear(dict_, buffer.data());
  EXPECT_EQ(buffer.substr(8), std::string(24, ' '));
}

}  // namespace
}  // namespace vexa
