// Extension records as read from a file, in both byte orders: machine
// integers and floating point (3, 4), display properties (11), long names
// (13), very long strings (14), the case count (16), long-string value
// labels (21) and extended formats (25); then every damaged record the reader
// refuses, whatever its subtype. Damage that shows in a length field of
// record 21 is swept with the other length fields in the sysfile record
// failure tests. The values of very long strings on their way between the
// two case layouts are checked by the layout tests, and end to end by the
// round trips through the C API.
#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <utility>
#include <vector>

#include "dict/format_code.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::Ints;
using testing::OpenBytes;
using testing::OpenError;
using testing::SysFileBuilder;
using testing::ThreeVariables;

class ExtensionReadTest : public ::testing::TestWithParam<bool> {};

// Record 25's entry for a: the print format of type 5, width 60 (read as
// width 40) and the write format of type 85, width 20.
std::string FormatsEntry(bool big) {
  return Ints({1}, big) + "a" +
         Ints({static_cast<int32_t>(PackFormat({60, 5, 2})),
               static_cast<int32_t>(PackFormat({20, 85, 0}))}, big);
}

using Labels = std::vector<std::pair<std::string, std::string>>;

// One variable's entry of record 21.
std::string Entry(std::string_view name, int32_t width, const Labels& labels, bool big) {
  auto length = [big](std::string_view text) {
    return Ints({static_cast<int32_t>(text.size())}, big) + std::string(text);
  };
  std::string out = length(name) + Ints({width, static_cast<int32_t>(labels.size())}, big);
  for (const auto& [value, label] : labels) out += length(value) + length(label);
  return out;
}

// The machine records are stored in host order. Display properties: higher
// bits of level and alignment are not theirs; a width of 0 or below keeps
// the default. Extended formats replace both formats of the variable they
// name. Long-string labels: entries for a missing variable or of the wrong
// width are passed over; values up to the full width are kept; names match
// without regard to case. A variable renamed as the file is read (#X) keeps
// its long-string labels.
TEST_P(ExtensionReadTest, OneFileOfRecordsThatSetWhatTheyHold) {
  const bool big = GetParam();
  const std::string units = Ints({3, 12, 1, 0x12, 0, 0x6, 1, -5, 0, 1, 10, 0}, big);
  const std::string full(20, 'z');
  auto source = OpenBytes(
      ThreeVariables(big).StringVar("#X", 12).MachineInts({21, 3, 7, 99, 2, 0, 1, 65001})
          .MachineFloats({-1e300, 2.5e300, -0.5e300}).Extension(11, units, 4)
          .Extension(25, 1, 13, FormatsEntry(big))
          .Extension(21, Entry("s", 12, {{"x", "wrong width"}}, big) +
                             Entry("ghost", 12, {{"x", "no such variable"}}, big) +
                             Entry("S", 20, {{"a", "Apple"}, {full, "Zeds"}}, big) +
                             Entry("#X", 12, {{"x", "Ex"}}, big))
          .End().Bytes());
  const FileHeader& h = source->Header();
  const MachineInfo& m = h.machine;
  // The byte order (the last) comes from the header, not from unit 6.
  EXPECT_EQ((std::vector{m.major, m.minor, m.revision, m.machine_code, m.float_code,
                         m.compression_code, m.character_code, m.endianness}),
            (std::vector{21, 3, 7, 99, 2, 0, 65001, 2}));
  EXPECT_EQ((std::vector{h.sysmis, h.highest, h.lowest}),
            (std::vector{-1e300, 2.5e300, -0.5e300}));
  const Dictionary& d = source->GetDictionary();
  std::vector<int> got;
  for (int i = 0; i < 3; ++i) {
    got.insert(got.end(), {d.At(i).MeasureLevel(), d.At(i).DisplayWidth(), d.At(i).Alignment()});
  }
  const int defaults[] = {VEXA_Variable(20).DisplayWidth(), VEXA_Variable(0).DisplayWidth()};
  EXPECT_EQ(got, (std::vector{3, 12, 1, 2, defaults[0], 2, 1, defaults[1], 0}));
  EXPECT_EQ(UnpackFormat(d.At(0).PrintFormat()), (Format{40, 5, 2}));
  EXPECT_EQ(UnpackFormat(d.At(0).WriteFormat()), (Format{20, 85, 0}));
  const ValueLabelMap& s = d.At(1).ValueLabels();
  ASSERT_EQ(s.Count(), 2);
  EXPECT_EQ(*s.FindText(full), "Zeds");
  ASSERT_EQ(d.At(3).ValueLabels().Count(), 1);
  EXPECT_EQ(*d.At(3).ValueLabels().FindText("x"), "Ex");
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
  } cases[] = {{{1, 3000000000LL}, false, -1, 3000000000LL}, {{1, 10}, false, 10, 10},
               {{1, 11}, false, 10, 11}, {{1, 7}, true, -1, 7},
               {{5000000000LL}, false, -1, 5000000000LL}};
  for (const auto& c : cases) {
    std::string contents;
    for (int64_t u : c.units) contents += SysFileBuilder(big != c.other_order).Int64(u).Bytes();
    auto source = OpenBytes(ThreeVariables(big, {.case_count = c.header_count})
                                .Extension(16, contents, 8).End().Bytes());
    EXPECT_EQ(source->Header().case_count, c.expected) << c.units.back();
  }
}

// Listed names replace the file's: a name not listed keeps its file name,
// not lower-cased either (without the record every name is: the open
// tests). A trailing tab ends the walk; a listed name that takes an
// unlisted one's is repaired with it.
TEST(LongNamesTest, RestoreNamesAsListed) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"INCOME=income\tAGE=AgeInYearsAtInterview", {"income", "AgeInYearsAtInterview", "CITY"}},
      {"AGE=Age\t", {"INCOME", "Age", "CITY"}},
      {"INCOME=city\tAGE=_age", {"city", "v1", "v2"}},
  };
  for (const auto& [text, names] : cases) {
    auto source = OpenBytes(SysFileBuilder().Header().NumericVar("INCOME").NumericVar("AGE")
                                .StringVar("CITY", 12).Extension(13, text).End().Bytes());
    std::vector<std::string> got;
    for (int i = 0; i < source->GetDictionary().Count(); ++i) {
      got.push_back(source->GetDictionary().At(i).Name());
    }
    EXPECT_EQ(got, names) << text;
  }
}

// One extension record in a file of a, s (A20) and b; its contents are
// counted in units of the given size.
struct RecordCase {
  std::string what;
  int32_t subtype, unit_size;
  std::string contents;
  long error = kErrBadStructure;
};

std::vector<RecordCase> DamagedRecords(bool big) {
  auto ints = [big](const std::vector<int32_t>& units) { return Ints(units, big); };
  const std::string format = FormatsEntry(big);
  const std::string labels = ints({1}) + "s" + ints({20, 1});  // s, A20, one label
  std::vector<RecordCase> cases = {
      {"date info: n = 2 in 10 units", 6, 4, ints({1, 0, 2, 0, 0, 1, 1, 2, 0, 9})},
      {"date info: n = 11", 6, 4, ints(std::vector<int32_t>(39, 11))},
      {"date info: unit size 8", 6, 8, ints({1, 0, 0, 0, 0, 0})},
      {"date info: position past the case", 6, 4, ints({1, 0, 1, 0, 0, 1, 50, 2, 0})},
      {"date info: too short", 6, 4, ints({1, 0})},
      {"long names: no = in the last", 13, 1, "a=x\tb"},
      {"long names: empty first", 13, 1, "\ta=x"},
      {"long names: two = in the last", 13, 1, "a=x\tb=y="},
      {"long names: unit size 2", 13, 2, "a=xy"},
      {"labels: 13 bytes left", 21, 1, Entry("s", 20, {{"a", "Apple"}}, big) + std::string(13, '\0')},
      {"labels: no label length", 21, 1, labels + ints({1}) + "a"},
      {"labels: value wider than the map", 21, 1, labels + ints({21}) + std::string(21, 'v') + ints({0})},
      {"formats: cut short", 25, 1, format.substr(0, 11)},
      {"formats: fewer than 9 bytes left", 25, 1, format + "abcd"},
      {"formats: unknown name skipped", 25, 1, ints({1}) + "z" + ints({0, 0}), 0},
  };
  // Records of a fixed shape refuse any other unit size or count. Display
  // properties need 3 units of 4 bytes for each of the three variables.
  const int32_t shapes[][3] = {{3, 4, 9},  {3, 4, 7},  {3, 8, 8},   {3, 1, 32},
                               {4, 4, 6},  {4, 8, 2},  {4, 8, 4},   {11, 8, 9},
                               {11, 4, 6}, {11, 4, 12}, {16, 4, 4}, {16, 8, 3}};
  for (const auto& [subtype, size, count] : shapes) {
    cases.push_back({"shape " + std::to_string(size) + " x " + std::to_string(count), subtype,
                     size, std::string(static_cast<size_t>(size * count), '\0')});
  }
  return cases;
}

TEST_P(ExtensionReadTest, DamagedRecordsAreStructureErrors) {
  for (const RecordCase& c : DamagedRecords(GetParam())) {
    SCOPED_TRACE(::testing::Message() << "subtype " << c.subtype << ", " << c.what);
    const std::string bytes =
        ThreeVariables(GetParam()).Extension(c.subtype, c.contents, c.unit_size).End().Bytes();
    EXPECT_EQ(OpenError(bytes).value_or(0), c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ExtensionReadTest, ::testing::Bool());

using namespace std::string_literals;

// A width-1000 string in the file: segments of 255, 255, 255 and 244.
struct Segment { std::string name; int width; };
std::vector<Segment> Segments(int second_width = 255, int last_width = 244,
                              const char* third_name = "LONGS1") {
  return {{"LONGSTRI", 255}, {"LONGS0", second_width}, {third_name, 255}, {"LONGS2", last_width}};
}

// x, the segments, y; long names, then the display record (one triple per
// file variable) and the very long string record.
std::string LongStringFile(bool big, const std::vector<Segment>& segments, std::string_view vls,
                           std::string_view names = "X=x\tLONGSTRI=LongStringVar\tY=y") {
  SysFileBuilder b(big);
  b.Header().NumericVar("X");
  for (const Segment& s : segments) b.StringVar(s.name, s.width);
  std::string display;
  for (size_t i = 0; i < segments.size() + 2; ++i) display += Ints({3, 40, 1}, big);
  return b.NumericVar("Y").Extension(13, names).Extension(11, display, 4).Extension(14, vls)
      .End().Bytes();
}

const std::string kEntry = "LONGSTRI=1000\0\t"s;

class VeryLongStringTest : public ::testing::TestWithParam<bool> {};

// Segments merge into one variable of the entry's width only when they fit
// it; otherwise they stay separate strings and the entry is ignored. The
// last segment may be as wide as its last slot allows. The record's short
// names match without regard to case.
TEST_P(VeryLongStringTest, SegmentsMergeWhenTheyFitTheEntry) {
  const struct {
    const char* what;
    bool merged;
    std::vector<Segment> segments;
    std::string entry = kEntry;
  } cases[] = {
      {"intact", true, Segments()},
      {"last segment at its widest", true, Segments(255, 248)},
      {"lower-case entry", true, Segments(), "longstri=1000\0\t"s},
      {"foreign segment name", false, Segments(255, 244, "OTHER1")},
      {"narrow full segment", false, Segments(254)},
      {"last segment too short", false, Segments(255, 243)},
      {"last segment too wide", false, Segments(255, 249)},
      {"segments missing", false, {{"LONGSTRI", 255}, {"LONGS0", 255}}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto source = OpenBytes(LongStringFile(GetParam(), c.segments, c.entry));
    const Dictionary& d = source->GetDictionary();
    const VEXA_Variable& s = d.At(1);
    EXPECT_EQ(s.Name(), "LongStringVar");
    if (!c.merged) {
      EXPECT_EQ((std::vector{d.Count(), s.Type()}),
                (std::vector{static_cast<int>(c.segments.size()) + 2, 255}));
      continue;
    }
    // Display properties were given to the first segment and stay.
    EXPECT_EQ((std::vector{d.Count(), s.Type(), s.DisplayWidth(), d.SlotCount(),
                           source->Header().nominal_case_size}),
              (std::vector{3, 1000, 40, 1 + 125 + 1, 1 + 127 + 1}));
  }
}

// Two very long strings side by side merge, also when the record lists the
// later one first.
TEST_P(VeryLongStringTest, AdjacentStringsMergeInEitherOrder) {
  std::vector<Segment> segments = Segments();
  segments.insert(segments.end(), {{"BSTRING", 255}, {"BSTRIN0", 48}});
  auto source = OpenBytes(LongStringFile(GetParam(), segments, "BSTRING=300\0\t"s + kEntry,
                                         "X=x\tLONGSTRI=LongStringVar\tBSTRING=b\tY=y"));
  const Dictionary& d = source->GetDictionary();
  EXPECT_EQ((std::vector{d.Count(), d.At(1).Type(), d.At(2).Type()}),
            (std::vector{4, 1000, 300}));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, VeryLongStringTest, ::testing::Bool());

TEST(VeryLongStringDamageTest, DamagedEntriesAreStructureErrors) {
  const std::string names = "X=x\tLONGSTRI=LongStringVar\tY=y";
  const std::pair<std::string, std::string> damaged[] = {
      {"LONGSTRINGVARIABLE=1000\0\t"s, names},  // no "=" in 16 bytes
      {"LONGSTRI"s, names},
      {kEntry + "\t"s, names},  // three bytes after the width
      {"NOPE=1000\0\t"s, names},  // short name not in the long names
      {"NOVAR=1000\0\t"s, names + "\tNOVAR=ghost"},  // no such variable
      {"LONGSTRI=100000\0\t"s, names},  // six digits
      {"LONGSTRI=1000"s, names},  // no end after the width
      {"LONGSTRI=10a0\0\t"s, names},
      {"LONGSTRI=-100\0\t"s, names}};
  for (const auto& [text, long_names] : damaged) {
    EXPECT_EQ(testing::OpenError(
                  LongStringFile(false, Segments(), text, long_names)),
              kErrBadStructure)
        << text;
  }
}

}  // namespace
}  // namespace vexa
