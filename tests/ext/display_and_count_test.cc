// Display properties (subtype 11) and the extended case count (subtype 16)
// as read from a file.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ext/ext_test_util.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::Int32Bytes;
using testing::Int64Bytes;
using testing::OpenBytes;
using testing::SysFileBuilder;

SysFileBuilder ThreeVariables(bool big, int32_t case_count = -1) {
  SysFileBuilder b(big);
  b.Header({.case_count = case_count})
      .NumericVar("a")
      .StringVar("s", 20)
      .NumericVar("b");
  return b;
}

std::string Triples(const std::vector<int32_t>& units, bool big) {
  std::string out;
  for (int32_t u : units) out += Int32Bytes(u, big);
  return out;
}

class DisplayTest : public ::testing::TestWithParam<bool> {};

TEST_P(DisplayTest, SetsLevelWidthAndAlignment) {
  const bool big = GetParam();
  const int default_width = VEXA_Variable(20).DisplayWidth();
  // Higher bits of level and alignment are not theirs; a width of 0 or
  // below keeps the default.
  const std::string units = Triples({3, 12, 1, 0x12, 0, 0x6, 1, -5, 0}, big);
  auto source =
      OpenBytes(ThreeVariables(big).Extension(11, 4, 9, units).End().Bytes());
  const Dictionary& d = source->GetDictionary();
  EXPECT_EQ(d.At(0).MeasureLevel(), 3);
  EXPECT_EQ(d.At(0).DisplayWidth(), 12);
  EXPECT_EQ(d.At(0).Alignment(), 1);
  EXPECT_EQ(d.At(1).MeasureLevel(), 2);
  EXPECT_EQ(d.At(1).DisplayWidth(), default_width);
  EXPECT_EQ(d.At(1).Alignment(), 2);
  EXPECT_EQ(d.At(2).MeasureLevel(), 1);
  EXPECT_EQ(d.At(2).DisplayWidth(), VEXA_Variable(0).DisplayWidth());
  EXPECT_EQ(d.At(2).Alignment(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, DisplayTest, ::testing::Bool());

struct CountCase {
  const char* what;
  std::vector<int64_t> units;
  bool units_big;  // byte order of the units, independent of the file's
  int32_t header_count;
  int64_t expected;
};

class CaseCountTest
    : public ::testing::TestWithParam<std::tuple<bool, CountCase>> {};

TEST_P(CaseCountTest, ReplacesTheHeaderCountUnlessSmaller) {
  const auto& [big, c] = GetParam();
  std::string contents;
  for (int64_t u : c.units) contents += Int64Bytes(u, big != c.units_big);
  auto source = OpenBytes(
      ThreeVariables(big, c.header_count)
          .Extension(16, 8, static_cast<int32_t>(c.units.size()), contents)
          .End()
          .Bytes());
  EXPECT_EQ(source->Header().case_count, c.expected) << c.what;
}

// units_big false: the units are in the file's own order; true: in the
// other order.
INSTANTIATE_TEST_SUITE_P(
    Records, CaseCountTest,
    ::testing::Combine(
        ::testing::Bool(),
        ::testing::Values(
            CountCase{"above 2^31", {1, 3000000000LL}, false, -1, 3000000000LL},
            CountCase{"smaller count", {1, 3}, false, 10, 10},
            CountCase{"equal count", {1, 10}, false, 10, 10},
            CountCase{"larger count", {1, 11}, false, 10, 11},
            CountCase{"probe in the other order", {1, 7}, true, -1, 7},
            CountCase{
                "single unit", {5000000000LL}, false, -1, 5000000000LL})));

}  // namespace
}  // namespace vexa
