// Extension records as read from a file, in both byte orders where numbers
// are in them: machine integers and floating point (3, 4), display
// properties (11), long names (13), the case count (16) and long-string
// value labels (21); the fixed shapes of these records and the record
// holder's contract. Damage that shows in a length field of record 21 is
// swept with the other length fields in the sysfile record failure tests.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ext/extension_record.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::OpenBytes;
using testing::OpenError;
using testing::SysFileBuilder;

std::string I32(int32_t v, bool big = false) { return SysFileBuilder(big).Int32(v).Bytes(); }
std::string I64(int64_t v, bool big) {
  return SysFileBuilder(big).Double(std::bit_cast<double>(v)).Bytes();
}

// a (numeric), s (A20), b (numeric).
SysFileBuilder ThreeVariables(bool big, int32_t case_count = -1) {
  SysFileBuilder b(big);
  b.Header({.case_count = case_count}).NumericVar("a").StringVar("s", 20).NumericVar("b");
  return b;
}

class ExtensionReadTest : public ::testing::TestWithParam<bool> {};

TEST_P(ExtensionReadTest, MachineRecordsAreStoredInHostOrder) {
  const bool big = GetParam();
  auto source = OpenBytes(ThreeVariables(big).MachineInts({21, 3, 7, 99, 2, 0, 1, 65001})
                              .MachineFloats({-1e300, 2.5e300, -0.5e300}).End().Bytes());
  const FileHeader& h = source->Header();
  const MachineInfo& m = h.machine;
  // The byte order (the last) comes from the header, not from unit 6.
  EXPECT_EQ((std::vector{m.major, m.minor, m.revision, m.machine_code, m.float_code,
                         m.compression_code, m.character_code, m.endianness}),
            (std::vector{21, 3, 7, 99, 2, 0, 65001, 2}));
  EXPECT_TRUE(h.subtypes_seen.test(3));
  EXPECT_EQ(source->GetDictionary().Extensions().Get(3), nullptr);
  EXPECT_EQ((std::vector{h.sysmis, h.highest, h.lowest}),
            (std::vector{-1e300, 2.5e300, -0.5e300}));
  // Without the records the defaults stay.
  const auto plain = OpenBytes(ThreeVariables(big).End().Bytes());
  const FileHeader& none = plain->Header();
  EXPECT_EQ((std::vector{std::bit_cast<uint64_t>(none.sysmis), std::bit_cast<uint64_t>(none.lowest),
                         std::bit_cast<uint64_t>(none.highest)}),
            (std::vector<uint64_t>{0xFFEFFFFFFFFFFFFF, 0xFFEFFFFFFFFFFFFE, 0x7FEFFFFFFFFFFFFF}));
}

// Higher bits of level and alignment are not theirs; a width of 0 or below
// keeps the default.
TEST_P(ExtensionReadTest, DisplayPropertiesSetLevelWidthAndAlignment) {
  const bool big = GetParam();
  std::string units;
  for (int32_t u : {3, 12, 1, 0x12, 0, 0x6, 1, -5, 0}) units += I32(u, big);
  auto source = OpenBytes(ThreeVariables(big).Extension(11, 4, 9, units).End().Bytes());
  const Dictionary& d = source->GetDictionary();
  std::vector<int> got;
  for (int i = 0; i < 3; ++i) {
    got.insert(got.end(), {d.At(i).MeasureLevel(), d.At(i).DisplayWidth(), d.At(i).Alignment()});
  }
  const int defaults[] = {VEXA_Variable(20).DisplayWidth(), VEXA_Variable(0).DisplayWidth()};
  EXPECT_EQ(got, (std::vector{3, 12, 1, 2, defaults[0], 2, 1, defaults[1], 0}));
}

// The count replaces the header's unless smaller. Two units: the probe 1
// tells their byte order, whatever the file's; one unit: the file's order.
TEST_P(ExtensionReadTest, CaseCountReplacesTheHeaderCountUnlessSmaller) {
  const bool big = GetParam();
  const struct {
    std::vector<int64_t> units;
    bool other_order;
    int32_t header_count;
    int64_t expected;
  } cases[] = {{{1, 3000000000LL}, false, -1, 3000000000LL}, {{1, 3}, false, 10, 10},
               {{1, 10}, false, 10, 10},  {{1, 11}, false, 10, 11},
               {{1, 7}, true, -1, 7},     {{5000000000LL}, false, -1, 5000000000LL}};
  for (const auto& c : cases) {
    std::string contents;
    for (int64_t u : c.units) contents += I64(u, big != c.other_order);
    auto source = OpenBytes(ThreeVariables(big, c.header_count)
                                .Extension(16, 8, static_cast<int32_t>(c.units.size()), contents)
                                .End().Bytes());
    EXPECT_EQ(source->Header().case_count, c.expected) << c.units.back();
  }
}

using Labels = std::vector<std::pair<std::string, std::string>>;

// One variable's entry of record 21.
std::string Entry(std::string_view name, int32_t width, const Labels& labels, bool big) {
  std::string out = I32(static_cast<int32_t>(name.size()), big) + std::string(name) +
                    I32(width, big) + I32(static_cast<int32_t>(labels.size()), big);
  for (const auto& [value, label] : labels) {
    out += I32(static_cast<int32_t>(value.size()), big) + value;
    out += I32(static_cast<int32_t>(label.size()), big) + label;
  }
  return out;
}

std::string WithLongStringLabels(const std::string& contents, bool big = false) {
  return ThreeVariables(big).StringVar("t", 12)
      .Extension(21, 1, static_cast<int32_t>(contents.size()), contents).End().Bytes();
}

// Entries for a missing variable or of the wrong width are passed over;
// values up to the full width are kept; names match without regard to case.
TEST_P(ExtensionReadTest, LongStringLabelsAttachByNameAndWidth) {
  const bool big = GetParam();
  const std::string full(20, 'z');
  auto source = OpenBytes(WithLongStringLabels(
      Entry("s", 12, {{"x", "wrong width"}}, big) +
          Entry("ghost", 12, {{"x", "no such variable"}}, big) +
          Entry("S", 20, {{"a", "Apple"}, {full, "Zeds"}}, big),
      big));
  const Dictionary& d = source->GetDictionary();
  EXPECT_FALSE(d.At(3).ValueLabels().IsValid());
  const ValueLabelMap& s = d.At(1).ValueLabels();
  ASSERT_TRUE(s.IsValid());
  EXPECT_EQ(s.Width(), 20);
  ASSERT_EQ(s.Count(), 2);
  EXPECT_EQ(*s.FindText("a"), "Apple");
  EXPECT_EQ(*s.FindText(full), "Zeds");
}

// A variable renamed as the file is read keeps its long-string labels and
// its place in sets, which name it as the file did.
TEST_P(ExtensionReadTest, RepairedNameKeepsItsLabelsAndSets) {
  const bool big = GetParam();
  const std::string labels = Entry("#X", 12, {{"x", "Ex"}}, big);
  const std::string mr = "$s=C 1 x A #X\n", sets = "plain= #X\n";
  SysFileBuilder b(big);
  b.Header().NumericVar("A").StringVar("#X", 12);
  b.Extension(21, 1, static_cast<int32_t>(labels.size()), labels);
  b.Extension(5, 1, static_cast<int32_t>(sets.size()), sets);
  b.Extension(7, 1, static_cast<int32_t>(mr.size()), mr);
  auto source = OpenBytes(b.End().Bytes());
  const Dictionary& d = source->GetDictionary();
  ASSERT_EQ(d.At(1).Name(), "v1");
  ASSERT_TRUE(d.At(1).ValueLabels().IsValid());
  EXPECT_EQ(*d.At(1).ValueLabels().FindText("x"), "Ex");
  ASSERT_EQ(d.Meta().sets.size(), 2u);
  EXPECT_EQ(d.Meta().sets[0].variables, (std::vector<std::string>{"v1"}));
  EXPECT_EQ(d.Meta().sets[1].variables, (std::vector<std::string>{"A", "v1"}));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ExtensionReadTest, ::testing::Bool());

TEST(LongStringLabelsTest, DamagedEntriesAreStructureErrors) {
  const std::string head = I32(1) + "s" + I32(20) + I32(1);  // s, A20, one label
  const std::pair<const char*, std::string> damaged[] = {
      {"13 bytes left", Entry("s", 20, {{"a", "Apple"}}, false) + std::string(13, '\0')},
      {"no label length", head + I32(1) + "a"},
      {"value wider than the map", head + I32(21) + std::string(21, 'v') + I32(0)}};
  for (const auto& [what, contents] : damaged) {
    EXPECT_EQ(OpenError(WithLongStringLabels(contents)), kErrBadStructure) << what;
  }
}

std::string WithNames(std::string_view text, int32_t unit_size = 1) {
  SysFileBuilder b;
  b.Header().NumericVar("INCOME").NumericVar("AGE").StringVar("CITY", 12);
  if (!text.empty()) {
    b.Extension(13, unit_size, static_cast<int32_t>(text.size()) / unit_size, text);
  }
  return b.End().Bytes();
}

std::vector<std::string> Names(const SystemFileDataSource& source) {
  std::vector<std::string> names;
  const Dictionary& d = source.GetDictionary();
  for (int i = 0; i < d.Count(); ++i) names.push_back(d.At(i).Name());
  return names;
}

TEST(LongNamesTest, RestoresNamesAndKeepsTheirCase) {
  auto source = OpenBytes(WithNames("INCOME=income\tAGE=AgeInYearsAtInterview"));
  // CITY is not listed: it keeps its file name, not lower-cased either.
  EXPECT_EQ(Names(*source),
            (std::vector<std::string>{"income", "AgeInYearsAtInterview", "CITY"}));
  EXPECT_TRUE(source->Header().long_names);
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(source->NameTable(),
            (Pairs{{"INCOME", "income"}, {"AGE", "AgeInYearsAtInterview"}}));
  std::string short_name;
  EXPECT_TRUE(source->FindShortName("AgeInYearsAtInterview", &short_name));
  EXPECT_EQ(short_name, "AGE");
}

TEST(LongNamesTest, TrailingTabEndsTheWalkRestoredNamesAreRepairedNoneAreLowerCased) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"AGE=Age\t", {"INCOME", "Age", "CITY"}},
      {"", {"income", "age", "city"}},  // without the record names are lower-cased
      // A duplicate (regardless of case) and an invalid first character.
      {"INCOME=city\tAGE=_age", {"city", "v1", "v2"}},
  };
  for (const auto& [text, names] : cases) {
    EXPECT_EQ(Names(*OpenBytes(WithNames(text))), names) << text;
  }
}

TEST(LongNamesTest, DamagedTextsAreStructureErrors) {
  const std::pair<const char*, int32_t> damaged[] = {
      {"INCOME=income\tAGE", 1}, {"INCOME", 1},         {"\tINCOME=income", 1},
      {"INCOME=income\t\t", 1},  {"INCOME=in=come", 1}, {"INCOME=income\tAGE=a=", 1},
      {"INCOME=x", 2}};
  for (const auto& [text, unit_size] : damaged) {
    EXPECT_EQ(OpenError(WithNames(text, unit_size)), kErrBadStructure) << text;
  }
}

// Records of a fixed shape refuse any other unit size or count. Display
// properties need 3 units of 4 bytes for each of the three variables.
TEST(ExtensionShapeTest, AWrongShapeIsAStructureError) {
  const int32_t shapes[][3] = {{3, 4, 9},  {3, 4, 7},  {3, 8, 8},   {3, 1, 32},
                               {4, 4, 6},  {4, 8, 2},  {4, 8, 4},   {11, 8, 9},
                               {11, 4, 6}, {11, 4, 12}, {16, 4, 4}, {16, 8, 3}};
  for (const auto& [subtype, size, count] : shapes) {
    const std::string contents(static_cast<size_t>(size * count), '\0');
    EXPECT_EQ(OpenError(ThreeVariables(false).Extension(subtype, size, count, contents)
                            .End().Bytes()),
              kErrBadStructure)
        << subtype << ": " << size << " x " << count;
  }
}

TEST(ExtensionRecordTest, ShapeIsFixedOnceContentsExistAndEmptyRecordsAreRefused) {
  SystemFileExtensionRecord rec;
  rec.SetUnitSize(4);
  EXPECT_TRUE(rec.Empty());
  EXPECT_THROW(rec.Allocate(), ContractViolation);
  rec.SetNUnits(2);
  rec.CopyIn("abcdefgh");
  EXPECT_EQ(std::string(rec.Contents(), rec.ByteSize()), "abcdefgh");
  EXPECT_THROW(rec.SetNUnits(3), ContractViolation);
}

}  // namespace
}  // namespace vexa
