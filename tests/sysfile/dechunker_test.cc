// The dechunker: building its table from very long strings and moving a
// case from the file layout into memory.
#include "sysfile/dechunker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/errors.h"
#include "sysfile/case_files.h"

namespace vexa {
namespace {

// Variables: x (numeric), then a width-600 string as segments 255, 255, 90
// (indexes 1..3), then y (numeric).
constexpr int kFileSlots = 1 + 76 + 1;
constexpr int kMemorySlots = 1 + 75 + 1;

int32_t FileFirstSlot(int index) {
  static const int32_t kSlots[] = {0, 1, 33, 65, 77};
  return kSlots[index];
}

SystemFileDechunker Width600() {
  SystemFileDechunker d;
  d.Build({{1, 600}}, FileFirstSlot, kFileSlots);
  return d;
}

// A raw case: x, the segments holding `value` as `takes` bytes per full
// segment (the rest of 255 zeros), then y.
std::string RawCase(const std::string& value, const std::vector<size_t>& takes) {
  std::string raw(kFileSlots * 8, ' ');
  std::memcpy(raw.data(), "XXXXXXXX", 8);
  size_t from = 0;
  size_t at = 8;
  for (size_t take : takes) {
    std::memcpy(raw.data() + at, value.data() + from, take);
    std::memset(raw.data() + at + take, 0, 255 - take);
    from += take;
    at += 256;
  }
  std::memcpy(raw.data() + at, value.data() + from, value.size() - from);
  std::memcpy(raw.data() + (kFileSlots - 1) * 8, "YYYYYYYY", 8);
  return raw;
}

std::string Value600() {
  std::string v;
  for (int i = 0; i < 600; ++i) v.push_back(static_cast<char>('a' + i % 26));
  return v;
}

struct CopyCase {
  const char* name;
  std::vector<size_t> takes;  // value bytes per full segment
};

class DechunkCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(DechunkCopyTest, JoinsTheSegments) {
  const std::string value = Value600();
  const std::string raw = RawCase(value, GetParam().takes);
  std::string out(kMemorySlots * 8, '?');
  Width600().Copy(raw.data(), out.data());
  EXPECT_EQ(out.substr(0, 8), "XXXXXXXX");
  EXPECT_EQ(out.substr(8, 600), value);
  EXPECT_EQ(out.substr(608, 8), "YYYYYYYY");
}

INSTANTIATE_TEST_SUITE_P(
    Segments, DechunkCopyTest,
    ::testing::Values(CopyCase{"full_segments", {255, 255}},
                      CopyCase{"two_bytes_held_back", {253, 255}},
                      CopyCase{"three_and_one_held_back", {252, 254}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DechunkerTest, StringsBackToBackAndAtTheStart) {
  // Two width-300 strings (38 file slots each: 32 + 6, as many as in
  // memory), then a numeric.
  auto first_slot = [](int index) { return index == 0 ? 0 : index == 2 ? 38 : 76; };
  SystemFileDechunker d;
  d.Build({{0, 300}, {2, 300}}, first_slot, 77);
  const auto& e = d.Entries();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].run_slots, 0u);
  EXPECT_EQ(e[1].target_slot, 38u);
  EXPECT_EQ(e[1].run_target_slot, 76u);
  EXPECT_EQ(e[1].run_slots, 1u);
  EXPECT_NO_THROW(d.Validate(77, 77));
}

TEST(DechunkerTest, Width600FitsSeventySixFileSlotsAndSeventyFiveInMemory) {
  EXPECT_EQ(FileSlotsForWidth(600), 76);
  EXPECT_NO_THROW(Width600().Validate(kFileSlots, kMemorySlots));
  EXPECT_THROW(Width600().Validate(kFileSlots - 1, kMemorySlots), SystemFileException);
  EXPECT_THROW(Width600().Validate(kFileSlots, kMemorySlots - 1), SystemFileException);
}

TEST(DechunkerTest, IteratorMergesTheSegmentsOfACompressedFile) {
  // The segment variables as the file lays them out; the table as the very
  // long string record would build it.
  testing::SysFileBuilder b;
  b.Header({.compression = 1}).NumericVar("x").StringVar("long", 255)
      .StringVar("long0", 255).StringVar("long1", 90).NumericVar("y").End();
  const std::string value = Value600();
  const std::string raw = RawCase(value, {254, 255});
  std::vector<testing::CaseSlot> slots;
  slots.push_back(testing::CaseSlot::Number(1.5));
  for (int s = 1; s < kFileSlots - 1; ++s) {
    slots.push_back(testing::CaseSlot::Text(raw.substr(s * 8, 8)));
  }
  slots.push_back(testing::CaseSlot::Number(2.5));
  b.CompressedCases({slots, slots});
  auto source = testing::OpenBytes(b.Bytes());
  source->MutableHeader().dechunker.Build({{1, 600}}, FileFirstSlot, kFileSlots);
  testing::CaseReader r(std::move(source));
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(r.iterator->ReadNext());
    EXPECT_EQ(r.Number(0), 1.5);
    EXPECT_EQ(r.Slots(1, 75).substr(0, 600), value);
    EXPECT_EQ(r.Number(76), 2.5);
  }
  EXPECT_FALSE(r.iterator->ReadNext());
}

}  // namespace
}  // namespace vexa
