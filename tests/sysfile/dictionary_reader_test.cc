#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dict/format_code.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::DoubleBytes;
using testing::OpenBytes;
using testing::SysFileBuilder;

// A numeric, a string of width 20 and a numeric: slots 1, 2-4 and 5.
SysFileBuilder ThreeVariables(bool big = false, int32_t weight_index = 0) {
  SysFileBuilder b(big);
  b.Header({.nominal_case_size = 99, .auto_case_size = false,
            .weight_index = weight_index});
  b.NumericVar("a").StringVar("s", 20).NumericVar("b");
  return b;
}

class WeightIndexTest
    : public ::testing::TestWithParam<std::pair<int32_t, int>> {};

TEST_P(WeightIndexTest, ResolvesThroughTheSlotMap) {
  auto [weight_index, expected] = GetParam();
  auto source = OpenBytes(ThreeVariables(false, weight_index).End().Bytes());
  EXPECT_EQ(source->GetDictionary().WeightIndex(), expected);
}

INSTANTIATE_TEST_SUITE_P(Slots, WeightIndexTest,
                         ::testing::Values(std::pair{5, 2}, std::pair{1, 0},
                                           std::pair{2, 1}, std::pair{3, -1},
                                           std::pair{9, -1}, std::pair{0, -1},
                                           std::pair{-4, -1}));

class ByteOrderTest : public ::testing::TestWithParam<bool> {};

TEST_P(ByteOrderTest, SlotsLabelsMissingValuesAndFormatsComeOutInHostOrder) {
  auto source =
      OpenBytes(ThreeVariables(GetParam())
                    .NumericVar("n", {.missing_code = -3,
                                      .missing = {1.5, 2.5, -7.0},
                                      .print_format = 0x052D02,
                                      .write_format = 0x140B00})
                    .StringVar("t", 8, {.missing_code = 2,
                                        .missing_text = {"abc", "12345678"}})
                    .NumericLabels({{2, "two"}, {1, "one"}}, {1, 5})
                    .StringLabels({{"x", "ex"}}, {2})
                    .End()
                    .Bytes());
  const Dictionary& d = source->GetDictionary();
  const FileHeader& h = source->Header();
  ASSERT_EQ(d.Count(), 5);
  EXPECT_EQ(d.At(1).Type(), 20);
  EXPECT_EQ(d.FirstSlot(2), 4);
  EXPECT_EQ(h.nominal_case_size, 7);  // not the 99 the header claims
  EXPECT_EQ(h.numeric_swap_map, GetParam() ? (std::vector<uint8_t>{
                                                 1, 0, 0, 0, 1, 1, 0})
                                           : std::vector<uint8_t>{});
  EXPECT_FALSE(d.Modified());

  const ValueLabelMap& a = d.At(0).ValueLabels();
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Width(), 0);
  ASSERT_NE(a.FindNumber(1.0), nullptr);
  EXPECT_EQ(*a.FindNumber(1.0), "one");
  EXPECT_TRUE(a.SharesImplWith(d.At(2).ValueLabels()));
  const ValueLabelMap& s = d.At(1).ValueLabels();
  EXPECT_EQ(s.Width(), 20);
  ASSERT_EQ(s.Count(), 1);
  EXPECT_EQ(s.Entries()[0].key, "x       ");
  EXPECT_EQ(s.Entries()[0].label, "ex");

  const VEXA_Variable& n = d.At(3);
  EXPECT_EQ(UnpackFormat(n.PrintFormat()), (Format{40, 5, 2}));
  EXPECT_EQ(UnpackFormat(n.WriteFormat()), (Format{11, 20, 0}));
  EXPECT_EQ(n.MissingCode(), -3);
  EXPECT_EQ(n.MissingNumber(0), 1.5);
  EXPECT_EQ(n.MissingNumber(1), 2.5);
  EXPECT_EQ(n.MissingNumber(2), -7.0);
  EXPECT_EQ(d.At(4).MissingCode(), 2);
  EXPECT_EQ(std::string(d.At(4).MissingRaw()[0].data(), 8), "abc     ");
  EXPECT_EQ(std::string(d.At(4).MissingRaw()[1].data(), 8), "12345678");
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ByteOrderTest, ::testing::Bool());

// Label texts of every padding class, followed by a record that must still
// be found where it belongs.
TEST(DictionaryReaderTest, LabelPaddingsKeepTheRecordsAligned) {
  const std::string seven = "1234567";
  const std::string eight = "12345678";
  auto source = OpenBytes(
      SysFileBuilder().Header().NumericVar("a", {.label = "12345"})
          .NumericVar("b", {.label = eight}).NumericVar("c", {.label = ""})
          .NumericLabels({{1, ""}, {2, seven}, {3, eight}}, {1})
          .Document({"doc"}).End().Bytes());
  const Dictionary& d = source->GetDictionary();
  EXPECT_EQ(d.At(0).Label(), "12345");
  EXPECT_EQ(d.At(1).Label(), eight);
  EXPECT_TRUE(d.At(2).HasLabel());
  EXPECT_EQ(d.At(2).Label(), "");
  const ValueLabelMap& m = d.At(0).ValueLabels();
  ASSERT_EQ(m.Count(), 3);
  EXPECT_EQ(*m.FindNumber(1), "");
  EXPECT_EQ(*m.FindNumber(2), seven);
  EXPECT_EQ(*m.FindNumber(3), eight);
  ASSERT_NE(d.Extensions().Get(kDocumentsType), nullptr);
}

TEST(DictionaryReaderTest, DocumentsAreExtensionDataAndNoLinesClearThem) {
  auto source = OpenBytes(
      ThreeVariables().Document({"one", "two", "three"}).End().Bytes());
  const VEXA_ExtensionImpl* doc =
      source->GetDictionary().Extensions().Get(kDocumentsType);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->contents.size(), 240u);
  EXPECT_EQ(doc->contents.substr(80, 5), "two  ");
  EXPECT_TRUE(source->Header().subtypes_seen.test(0));
  source = OpenBytes(
      ThreeVariables().Document({"one"}).Document({}).End().Bytes());
  EXPECT_EQ(source->GetDictionary().Extensions().Get(kDocumentsType), nullptr);
}

TEST(DictionaryReaderTest, UnhandledSubtypesAreKeptRawAndTheLastOneWins) {
  auto source = OpenBytes(
      ThreeVariables().Extension(99, 2, 2, "abcd").Extension(150, 1, 3, "xyz")
          .Extension(8, 1, 1, "1").Extension(8, 1, 2, "22").End().Bytes());
  const ExtensionStore& ext = source->GetDictionary().Extensions();
  ASSERT_NE(ext.Get(99), nullptr);
  EXPECT_EQ(ext.Get(99)->element_size, 2);
  EXPECT_EQ(ext.Get(99)->contents, "abcd");
  ASSERT_NE(ext.Get(150), nullptr);
  EXPECT_EQ(ext.Get(8)->contents, "22");
  const auto& seen = source->Header().subtypes_seen;
  EXPECT_TRUE(seen.test(99));
  EXPECT_TRUE(seen.test(8));
  EXPECT_EQ(seen.count(), 2u);
}

TEST(DictionaryReaderTest, RemembersWhereTheCaseCountRecordsContentsLie) {
  SysFileBuilder b = ThreeVariables();
  size_t at = b.Offset() + 16;
  b.Extension(16, 8, 2, std::string(16, '\0')).End();
  auto source = OpenBytes(b.Bytes());
  EXPECT_EQ(source->Header().subtype16_position, static_cast<int64_t>(at));
}

TEST(DictionaryReaderTest, AVariableAfterOtherRecordsIsNotInTheSlotMap) {
  auto late = [] {
    SysFileBuilder b;
    b.Header().NumericVar("a").Document({"x"}).NumericVar("late");
    return b;
  };
  // Slot 2 would name the late variable if the map were rebuilt.
  EXPECT_EQ(testing::OpenError(
                late().NumericLabels({{1, "one"}}, {2}).End().Bytes()),
            kErrBadStructure);
  auto source = OpenBytes(late().End().Bytes());
  EXPECT_EQ(source->GetDictionary().Count(), 2);
  EXPECT_EQ(source->Header().nominal_case_size, 1);
}

TEST(DictionaryReaderTest, TheDataStartsAfterTheTerminationRecord) {
  SysFileBuilder b = ThreeVariables().End();
  size_t data_start = b.Offset();
  b.CaseNumber(1).CaseText("abc", 20).CaseNumber(2);
  auto source = OpenBytes(b.Bytes());
  EXPECT_EQ(source->DataStart(), static_cast<int64_t>(data_start));
  EXPECT_EQ(source->Stream()->Tell(), static_cast<int64_t>(data_start));
}

}  // namespace
}  // namespace vexa
