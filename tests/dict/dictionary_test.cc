// The dictionary: slot layout under add, insert and remove; the weight
// variable; copies; the extension data store.
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dict/dictionary.h"
#include "support/errors.h"

namespace vexa {
namespace {

std::vector<int32_t> FirstSlots(const Dictionary& d) {
  std::vector<int32_t> out;
  for (int i = 0; i < d.Count(); ++i) out.push_back(d.FirstSlot(i));
  return out;
}

class SlotLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int width : {0, 8, 9, 300}) dict_.Add(VEXA_Variable(width));
  }
  Dictionary dict_;
};

TEST_F(SlotLayoutTest, AddLaysOutSlots) {
  EXPECT_EQ(FirstSlots(dict_), (std::vector<int32_t>{0, 1, 2, 4}));
  EXPECT_EQ(dict_.SlotCount(), 42);
  EXPECT_EQ(dict_.LastVariableSlots(), 38);
  EXPECT_EQ(dict_.FirstSlot(-1), -1);
  EXPECT_EQ(dict_.FirstSlot(4), 42);
}

TEST_F(SlotLayoutTest, RemoveMovesLaterSlots) {
  dict_.Remove(2, 2);  // the width-9 variable
  EXPECT_EQ(FirstSlots(dict_), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(dict_.SlotCount(), 40);
  EXPECT_EQ(dict_.LastVariableSlots(), 38);
}

TEST_F(SlotLayoutTest, RemovingTheTailUpdatesLastSlots) {
  dict_.Remove(2, 3);
  EXPECT_EQ(FirstSlots(dict_), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(dict_.SlotCount(), 2);
  EXPECT_EQ(dict_.LastVariableSlots(), 1);
  dict_.Remove(0, 1);
  EXPECT_EQ(dict_.Count(), 0);
  EXPECT_EQ(dict_.SlotCount(), 0);
  EXPECT_EQ(dict_.LastVariableSlots(), 0);
}

TEST_F(SlotLayoutTest, InsertShiftsLaterSlots) {
  dict_.Insert(1, VEXA_Variable(17));  // 3 slots, lands at index 1
  EXPECT_EQ(dict_.At(1).Type(), 17);
  EXPECT_EQ(FirstSlots(dict_), (std::vector<int32_t>{0, 1, 4, 5, 7}));
  EXPECT_EQ(dict_.SlotCount(), 45);
  EXPECT_EQ(dict_.LastVariableSlots(), 38);
  dict_.Insert(dict_.Count(), VEXA_Variable(0));
  EXPECT_EQ(dict_.FirstSlot(5), 45);
  EXPECT_EQ(dict_.LastVariableSlots(), 1);
  EXPECT_EQ(dict_.SlotCount(), 46);
}

TEST_F(SlotLayoutTest, TypeChangeThroughDictionaryMovesSlots) {
  dict_.SetVariableType(1, 20);  // 1 slot -> 3 slots
  EXPECT_EQ(FirstSlots(dict_), (std::vector<int32_t>{0, 1, 4, 6}));
  EXPECT_EQ(dict_.SlotCount(), 44);
  dict_.SetVariableType(3, 8);
  EXPECT_EQ(dict_.SlotCount(), 7);
  EXPECT_EQ(dict_.LastVariableSlots(), 1);
}

TEST_F(SlotLayoutTest, PreconditionsRaise) {
  EXPECT_THROW(dict_.At(4), ContractViolation);
  EXPECT_THROW(dict_.At(-1), ContractViolation);
  EXPECT_THROW(dict_.Remove(3, 4), ContractViolation);
  EXPECT_THROW(dict_.Remove(2, 1), ContractViolation);
  EXPECT_THROW(dict_.Insert(5, VEXA_Variable(0)), ContractViolation);
  EXPECT_THROW(dict_.Insert(-1, VEXA_Variable(0)), ContractViolation);
  EXPECT_THROW(dict_.FirstSlot(5), ContractViolation);
  EXPECT_EQ(dict_.Count(), 4);
  EXPECT_EQ(dict_.SlotCount(), 42);
}

TEST_F(SlotLayoutTest, WeightFollowsTheVariableNotTheIndex) {
  dict_.SetWeightIndex(2);
  EXPECT_EQ(dict_.WeightIndex(), 2);
  dict_.Insert(0, VEXA_Variable(0));
  EXPECT_EQ(dict_.WeightIndex(), 3);
  dict_.Remove(3, 3);
  EXPECT_EQ(dict_.WeightIndex(), -1);
}

TEST_F(SlotLayoutTest, WeightOutsideListClears) {
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

TEST(DictionaryTest, EveryChangeSetsModified) {
  Dictionary d;
  d.Add(VEXA_Variable(0));
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
    d.ClearModified();
    changes[i](d);
    EXPECT_TRUE(d.Modified()) << "change " << i;
  }
}

TEST(DictionaryTest, CopySharesVariablesUntilChanged) {
  Dictionary a;
  VEXA_Variable v(0);
  v.SetName("x");
  a.Add(v);
  Dictionary b = a;
  EXPECT_TRUE(b.At(0).SharesImplWith(a.At(0)));
  b.MutableAt(0).SetName("y");
  EXPECT_EQ(a.At(0).Name(), "x");
  EXPECT_EQ(b.At(0).Name(), "y");
}

TEST(DictionaryTest, AddingManyVariablesIsFast) {
  const auto start = std::chrono::steady_clock::now();
  Dictionary d;
  for (int i = 0; i < 50000; ++i) {
    VEXA_Variable v(i % 3 == 0 ? 0 : 40);
    v.SetName("var" + std::to_string(i));
    d.Add(v);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(d.SlotCount(), 16667 + 33333 * 5);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed)
                .count(),
            500);
}

TEST(ExtensionStoreTest, SetStoresCopyAndCountZeroClears) {
  ExtensionStore store;
  std::string bytes(240, 'd');
  store.Set(kDocumentsType, 1, 240, bytes.data());
  bytes[0] = 'X';  // the store holds its own copy
  ASSERT_NE(store.Get(kDocumentsType), nullptr);
  EXPECT_EQ(store.Get(kDocumentsType)->contents, std::string(240, 'd'));
  EXPECT_EQ(store.Get(kDocumentsType)->ElementCount(), 240);
  store.Set(kDocumentsType, 1, 0, nullptr);
  EXPECT_EQ(store.Get(kDocumentsType), nullptr);
  store.Set(7, 1, 0, nullptr);  // clearing an absent type is fine
  EXPECT_TRUE(store.Entries().empty());
}

TEST(ExtensionStoreTest, ElementSizeBelowOneIsOne) {
  ExtensionStore store;
  store.Set(3, 0, 5, "abcde");
  EXPECT_EQ(store.Get(3)->element_size, 1);
  EXPECT_EQ(store.Get(3)->contents, "abcde");
  store.Set(4, 4, 2, "abcdefgh");
  EXPECT_EQ(store.Get(4)->ElementCount(), 2);
}

TEST(ExtensionStoreTest, HugeTypeNumberCostsOneEntry) {
  ExtensionStore store;
  store.Set(2000000000, 1, 1, "x");
  EXPECT_EQ(store.Entries().size(), 1u);
}

TEST(ExtensionStoreTest, PreconditionTexts) {
  ExtensionStore store;
  const struct {
    int type;
    int64_t count;
    const char* contents;
    const char* text;
  } cases[] = {
      {-1, 1, "x", "0 <= type"},
      {0, -1, "x", "nElements >= 0"},
      {0, 1, nullptr, "(nElements==0) >= (content==0)"},
  };
  for (const auto& c : cases) {
    try {
      store.Set(c.type, 1, c.count, c.contents);
      ADD_FAILURE() << c.text << ": no exception";
    } catch (const ContractViolation& e) {
      EXPECT_STREQ(e.expression(), c.text);
    }
  }
}

TEST(ExtensionStoreTest, SharedEntriesSurviveReplacementInSource) {
  Dictionary source;
  Dictionary target;
  source.Extensions().Set(kDocumentsType, 1, 80, std::string(80, 'a').data());
  target.Extensions().Share(kDocumentsType,
                            source.Extensions().GetRef(kDocumentsType));
  EXPECT_EQ(target.Extensions().Get(kDocumentsType),
            source.Extensions().Get(kDocumentsType));
  source.Extensions().Set(kDocumentsType, 1, 80, std::string(80, 'b').data());
  EXPECT_EQ(target.Extensions().Get(kDocumentsType)->contents,
            std::string(80, 'a'));
  // Sharing an absent entry clears the target.
  target.Extensions().Share(kDocumentsType, RefPtr<VEXA_ExtensionImpl>());
  EXPECT_EQ(target.Extensions().Get(kDocumentsType), nullptr);
}

}  // namespace
}  // namespace vexa
