// Very long strings between the two case layouts: split by the writer's
// movers, joined by the reader's dechunker. One round trip per width, for
// ASCII values and for multibyte characters across every segment edge.
#include "layout/long_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/open_bytes.h"  // ErrorNumberOf
#include "sysfile/dechunker.h"
#include "sysfile/movers.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

using long_strings::FileSlots;
using long_strings::MemorySlots;

// `width` bytes: ASCII, or "é" and "€" cycling so that characters of two and
// three bytes fall across every segment edge.
std::string Value(int width, bool multibyte) {
  std::string v;
  const char* pieces[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "bc"};
  for (int i = 0; static_cast<int>(v.size()) < width; ++i) {
    v += multibyte ? pieces[i % 4] : std::string(1, static_cast<char>('a' + i % 26));
  }
  v.resize(static_cast<size_t>(width));
  return v;
}

class LongStringRoundTrip
    : public ::testing::TestWithParam<std::tuple<int, bool>> {
 protected:
  void SetUp() override { text::SetInterfaceMode(text::InterfaceMode::kUtf8); }
};

// A case of a numeric, the string and a numeric goes into the file layout
// and back unchanged; in the file, segments never split a character when
// characters are kept whole, and their held-back bytes are NUL.
TEST_P(LongStringRoundTrip, MoverThenDechunkerGiveTheCaseBack) {
  const auto [width, multibyte] = GetParam();
  const std::string value = Value(width, multibyte);
  CaseLayout layout;
  layout.strings.push_back({1, 1, width});
  layout.memory_slots = 2 + MemorySlots(width);
  layout.file_slots = 2 + FileSlots(width);

  std::string memory(static_cast<size_t>(layout.memory_slots) * 8, ' ');
  memory.replace(0, 8, "XXXXXXXX");
  memory.replace(8, value.size(), value);
  memory.replace(memory.size() - 8, 8, "YYYYYYYY");
  CaseLayoutMover mover(layout);
  const std::string file(mover.Move(memory.data()),
                         static_cast<size_t>(layout.file_slots) * 8);
  EXPECT_EQ(file.substr(0, 8), "XXXXXXXX");
  EXPECT_EQ(file.substr(file.size() - 8), "YYYYYYYY");
  for (int seg = 0; seg < width / 252; ++seg) {
    const std::string segment = file.substr(8 + 256 * seg, 256);
    EXPECT_EQ(segment[255], ' ');
    const size_t used = segment.find_last_not_of('\0', 254) + 1;
    EXPECT_GE(used, multibyte ? 253u : 255u);
    EXPECT_EQ(text::WholeCharPrefix(segment.data(), used, used), used);
  }

  SystemFileDechunker dechunker(layout);
  ASSERT_NO_THROW(dechunker.Validate(layout.file_slots, layout.memory_slots));
  std::string back(memory.size(), '?');
  dechunker.Copy(file.data(), back.data());
  EXPECT_EQ(back, memory);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, LongStringRoundTrip,
    ::testing::Combine(::testing::Values(256, 300, 504, 505, 600, 1000, 32767),
                       ::testing::Bool()));

// The table trusts no layout: a width of no very long string (outside 256
// to 32767 bytes), even one that fits its slots, and slots that do not fit
// the case are structure errors.
TEST(DechunkerTest, LayoutsThatDoNotFitAreStructureErrors) {
  const struct {
    int32_t width;
    int64_t fewer_file_slots, fewer_memory_slots;
  } cases[] = {{255, 0, 0}, {32768, 0, 0}, {600, 1, 0}, {600, 0, 1}};
  for (const auto& c : cases) {
    const int64_t file = 2 + FileSlots(c.width), memory = 2 + MemorySlots(c.width);
    const SystemFileDechunker d(CaseLayout{{{1, 1, c.width}}, memory, file});
    EXPECT_EQ(testing::ErrorNumberOf([&] {
                d.Validate(file - c.fewer_file_slots, memory - c.fewer_memory_slots);
              }),
              kErrBadStructure)
        << c.width << " " << c.fewer_file_slots << " " << c.fewer_memory_slots;
  }
}

}  // namespace
}  // namespace vexa
