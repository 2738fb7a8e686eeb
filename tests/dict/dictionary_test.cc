// The dictionary: slot layout under add, insert and remove; the weight
// variable; the modified flag; the extension data store; the case buffer of
// a dictionary.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dict/case.h"
#include "dict/dictionary.h"
#include "support/errors.h"

namespace vexa {
namespace {

// Widths 0, 8, 9 and 300: 1, 1, 2 and 38 slots.
class DictionaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int width : {0, 8, 9, 300}) dict_.Add(VEXA_Variable(width));
  }
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
    Dictionary d;
    for (int width : {0, 8, 9, 300}) d.Add(VEXA_Variable(width));
    c.change(d);
    std::vector<int32_t> first;
    for (int i = 0; i < d.Count(); ++i) first.push_back(d.FirstSlot(i));
    EXPECT_EQ(first, c.first_slots);
    EXPECT_EQ(d.SlotCount(), c.slot_count);
    EXPECT_EQ(d.LastVariableSlots(), c.last_variable_slots);
    EXPECT_EQ(d.FirstSlot(d.Count()), c.slot_count);
  }
}

TEST_F(DictionaryTest, PreconditionsRaiseAndChangeNothing) {
  EXPECT_EQ(dict_.FirstSlot(-1), -1);
  EXPECT_THROW(dict_.At(4), ContractViolation);
  EXPECT_THROW(dict_.At(-1), ContractViolation);
  EXPECT_THROW(dict_.Remove(3, 4), ContractViolation);
  EXPECT_THROW(dict_.Remove(2, 1), ContractViolation);
  EXPECT_THROW(dict_.Insert(5, VEXA_Variable(0)), ContractViolation);
  EXPECT_THROW(dict_.Insert(-1, VEXA_Variable(0)), ContractViolation);
  EXPECT_THROW(dict_.FirstSlot(5), ContractViolation);
  EXPECT_EQ(dict_.Count(), 4);
  EXPECT_EQ(dict_.SlotCount(), 42);
  ExtensionStore store;
  EXPECT_THROW(store.Set(-1, 1, 1, "x"), ContractViolation);
  EXPECT_THROW(store.Set(0, 1, -1, "x"), ContractViolation);
  EXPECT_THROW(store.Set(0, 1, 1, nullptr), ContractViolation);
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
  dict_.SetWeightIndex(1);
  dict_.ClearModified();
  dict_.SetWeightIndex(1);  // same variable: no change
  EXPECT_FALSE(dict_.Modified());
  dict_.SetWeightIndex(-1);
  EXPECT_TRUE(dict_.Modified());
}

TEST_F(DictionaryTest, EveryChangeSetsModified) {
  const std::vector<void (*)(Dictionary&)> changes = {
      [](Dictionary& x) { x.Add(VEXA_Variable(0)); },
      [](Dictionary& x) { x.Insert(0, VEXA_Variable(0)); },
      [](Dictionary& x) { x.Remove(0, 0); },
      [](Dictionary& x) { x.MutableAt(0); },
      [](Dictionary& x) { x.SetIdString("file label"); },
      [](Dictionary& x) { x.SetTimeStamp(1.0); },
      [](Dictionary& x) { x.Extensions().Set(0, 1, 0, nullptr); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    dict_.ClearModified();
    changes[i](dict_);
    EXPECT_TRUE(dict_.Modified()) << "change " << i;
  }
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
  VEXA_Case borrowed(dict_, buffer.data());
  EXPECT_EQ(borrowed.Data(), buffer.data());
  EXPECT_EQ(buffer, std::string(32, 'z'));
  VEXA_Case::Clear(dict_, buffer.data());
  EXPECT_EQ(buffer.substr(8), std::string(24, ' '));
}

TEST(ExtensionStoreTest, StoresACopyCountZeroClearsAndSharedEntriesSurviveReplacement) {
  Dictionary source;
  ExtensionStore& store = source.Extensions();
  std::string bytes(240, 'd');
  store.Set(kDocumentsType, 1, 240, bytes.data());
  bytes[0] = 'X';  // the store holds its own copy
  ASSERT_NE(store.Get(kDocumentsType), nullptr);
  EXPECT_EQ(store.Get(kDocumentsType)->contents, std::string(240, 'd'));
  store.Set(4, 4, 2, "abcdefgh");
  store.Set(2000000000, 1, 1, "x");  // a huge type number costs one entry
  EXPECT_EQ(store.Entries().size(), 3u);

  Dictionary target;
  target.Extensions().Share(kDocumentsType, store.GetRef(kDocumentsType));
  EXPECT_EQ(target.Extensions().Get(kDocumentsType), store.Get(kDocumentsType));
  store.Set(kDocumentsType, 1, 80, std::string(80, 'b').data());
  EXPECT_EQ(target.Extensions().Get(kDocumentsType)->contents, std::string(240, 'd'));
  // Sharing an absent entry clears the target.
  target.Extensions().Share(kDocumentsType, RefPtr<VEXA_ExtensionImpl>());
  EXPECT_EQ(target.Extensions().Get(kDocumentsType), nullptr);

  for (int type : {kDocumentsType, 4, 2000000000, 7}) {
    store.Set(type, 1, 0, nullptr);  // clearing an absent type is fine too
  }
  EXPECT_TRUE(store.Entries().empty());
}

}  // namespace
}  // namespace vexa
