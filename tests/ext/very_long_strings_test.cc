// Very long strings (subtype 14) as read from a file: intact segments merged
// into one variable, mismatched ones left as they are, damaged entries
// refused. The values' way between the two case layouts is checked by the
// layout tests, and end to end by the round trips through the C API.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dict/format_code.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using namespace std::string_literals;
using testing::OpenBytes;
using testing::SysFileBuilder;

std::string I32(int32_t v, bool big) { return SysFileBuilder(big).Int32(v).Bytes(); }

// A width-1000 string in the file: segments of 255, 255, 255 and 244.
struct Segment {
  std::string name;
  int width;
};
std::vector<Segment> Segments(int second_width = 255, int last_width = 244,
                              const char* third_name = "LONGS1") {
  return {{"LONGSTRI", 255},
          {"LONGS0", second_width},
          {third_name, 255},
          {"LONGS2", last_width}};
}

// x, the segments, y; long names, then the display record (one triple per
// file variable) and the very long string record.
std::string LongStringFile(bool big, const std::vector<Segment>& segments,
                           std::string_view vls_text,
                           std::string_view names = "X=x\tLONGSTRI=LongStringVar\tY=y") {
  SysFileBuilder b(big);
  b.Header().NumericVar("X");
  for (const Segment& s : segments) b.StringVar(s.name, s.width);
  b.NumericVar("Y");
  b.Extension(13, 1, static_cast<int32_t>(names.size()), names);
  std::string display;
  for (size_t i = 0; i < segments.size() + 2; ++i) {
    display += I32(3, big) + I32(40, big) + I32(1, big);
  }
  b.Extension(11, 4, static_cast<int32_t>(display.size() / 4), display);
  if (!vls_text.empty()) {
    b.Extension(14, 1, static_cast<int32_t>(vls_text.size()), vls_text);
  }
  return b.End().Bytes();
}

const std::string kEntry = "LONGSTRI=1000\0\t"s;

class VeryLongStringTest : public ::testing::TestWithParam<bool> {};

// The last segment may be as wide as its last slot allows. Short names
// match without regard to case: in the variable record, the long names
// record and this one.
TEST_P(VeryLongStringTest, IntactSegmentsBecomeOneVariable) {
  struct Spelling {
    int last;
    const char* first_segment;
    const char* names;
    std::string entry;
  };
  const Spelling spellings[] = {
      {244, "LONGSTRI", "X=x\tLONGSTRI=LongStringVar\tY=y", kEntry},
      {248, "LONGSTRI", "X=x\tLONGSTRI=LongStringVar\tY=y", kEntry},
      {244, "longstri", "X=x\tlongstri=LongStringVar\tY=y", kEntry},
      {244, "LONGSTRI", "X=x\tLONGSTRI=LongStringVar\tY=y",
       "longstri=1000\0\t"s}};
  for (const Spelling& sp : spellings) {
    SCOPED_TRACE(sp.first_segment + sp.entry.substr(0, 8));
    const int last = sp.last;
    std::vector<Segment> segments = Segments(255, last);
    segments[0].name = sp.first_segment;
    auto source = OpenBytes(
        LongStringFile(GetParam(), segments, sp.entry, sp.names));
    const Dictionary& d = source->GetDictionary();
    ASSERT_EQ(d.Count(), 3);
    const VEXA_Variable& s = d.At(1);
    EXPECT_EQ(s.Name() + " " + d.At(2).Name(), "LongStringVar y");
    const uint32_t a1000 = PackFormat({1000, kFormatString, 0});
    EXPECT_TRUE(s.PrintFormat() == a1000 && s.WriteFormat() == a1000);
    // Display properties were given to the first segment and stay.
    EXPECT_EQ((std::vector{s.Type(), s.DisplayWidth(), d.SlotCount(),
                           source->Header().nominal_case_size}),
              (std::vector{1000, 40, 1 + 125 + 1, 1 + 127 + 1}));
    EXPECT_FALSE(source->Header().case_layout.Same());
  }
}

// Segments that do not fit the entry stay separate strings, and the entry
// is ignored.
TEST_P(VeryLongStringTest, MismatchedSegmentsStay) {
  const std::pair<const char*, std::vector<Segment>> mismatches[] = {
      {"foreign segment name", Segments(255, 244, "OTHER1")},
      {"narrow full segment", Segments(254)},
      {"last segment too short", Segments(255, 243)},
      {"last segment too wide", Segments(255, 249)},
      {"segments missing", {{"LONGSTRI", 255}, {"LONGS0", 255}}}};
  for (const auto& [what, segments] : mismatches) {
    auto source = OpenBytes(LongStringFile(GetParam(), segments, kEntry));
    const Dictionary& d = source->GetDictionary();
    ASSERT_EQ(d.Count(), static_cast<int>(segments.size()) + 2) << what;
    EXPECT_EQ(d.At(1).Type(), 255) << what;
    EXPECT_EQ(d.At(1).Name(), "LongStringVar") << what;
    EXPECT_TRUE(source->Header().case_layout.Same()) << what;
  }
}

// Two very long strings side by side merge whichever the record lists first.
TEST_P(VeryLongStringTest, AdjacentStringsMergeInEitherOrder) {
  std::vector<Segment> segments = Segments();
  segments.insert(segments.end(), {{"BSTRING", 255}, {"BSTRIN0", 48}});
  const std::string other = "BSTRING=300\0\t"s;
  for (const std::string& entries : {kEntry + other, other + kEntry}) {
    auto source = OpenBytes(LongStringFile(GetParam(), segments, entries,
                                           "X=x\tLONGSTRI=LongStringVar\tBSTRING=b\tY=y"));
    const Dictionary& d = source->GetDictionary();
    ASSERT_EQ(d.Count(), 4);
    EXPECT_EQ(d.At(1).Type(), 1000);
    EXPECT_EQ(d.At(2).Type(), 300);
  }
}

INSTANTIATE_TEST_SUITE_P(BothOrders, VeryLongStringTest, ::testing::Bool());

TEST(VeryLongStringDamageTest, DamagedEntriesAreStructureErrors) {
  const std::string names = "X=x\tLONGSTRI=LongStringVar\tY=y";
  const std::pair<std::string, std::string> damaged[] = {
      {"LONGSTRINGVARIABLE=1000\0\t"s, names},  // no "=" in 16 bytes
      {"LONGSTRI"s, names},
      {kEntry + "\t"s, names},  // three bytes after the width
      {"NOPE=1000\0\t"s, names},  // short name not in the long names
      {kEntry, "X=x"},
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
