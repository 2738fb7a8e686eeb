// The read window: reads of every size after jumps return the stream's
// bytes, and fewer only at the end of the data.
#include "sysfile/case_window.h"

#include <gtest/gtest.h>

#include <string>

#include "support/memory_stream.h"

namespace vexa {
namespace {

struct WindowRead {
  int64_t seek;  // -1: read on from where the last read ended
  size_t size;
};

TEST(CaseDataWindowTest, ReadsMatchTheStreamAcrossJumpsAndRefills) {
  constexpr size_t kDataStart = 100;
  std::string bytes(kDataStart, 'h');
  for (size_t i = 0; bytes.size() < kDataStart + (3u << 20) + 5; ++i) {
    bytes.push_back(static_cast<char>(i * 7 + i / 251));
  }
  const std::string data = bytes.substr(kDataStart);
  const auto end = static_cast<int64_t>(data.size());
  testing::MemoryStream stream(bytes);
  CaseDataWindow window(stream, kDataStart);
  ASSERT_EQ(window.Capacity(), CaseDataWindow::kMaxCapacity);
  const WindowRead reads[] = {
      {0, 72},         {-1, 200000},     {2u << 20, 150000}, {-1, 1 << 20},
      {-1, 5},         {1000, 3u << 20}, {40, 100},          {end - 10, 64},
      {end, 8}};
  int64_t at = 0;
  for (const WindowRead& r : reads) {
    if (r.seek >= 0) {
      window.SeekTo(r.seek);
      at = r.seek;
    }
    SCOPED_TRACE(::testing::Message() << "read " << r.size << " at " << at);
    std::string out(r.size, '\0');
    const size_t got = window.Read(out.data(), r.size);
    const size_t expected = std::min(r.size, data.size() - static_cast<size_t>(at));
    ASSERT_EQ(got, expected);
    EXPECT_EQ(out.substr(0, got), data.substr(static_cast<size_t>(at), got));
    at += static_cast<int64_t>(got);
    EXPECT_EQ(window.Offset(), at);
  }
  window.SeekTo(5);
  ASSERT_EQ(window.Ensure(72), CaseDataWindow::kFirstFill);
  EXPECT_EQ(std::string(window.Peek(), 72), data.substr(5, 72));
}

TEST(CaseDataWindowTest, SmallDataGetsASmallWindow) {
  testing::MemoryStream stream(std::string(300, 'x'));
  CaseDataWindow window(stream, 200);
  EXPECT_EQ(window.Capacity(), CaseDataWindow::kMinCapacity);
  EXPECT_EQ(window.Ensure(72), 100u);
  window.Advance(72);
  EXPECT_EQ(window.Ensure(72), 28u);
}

}  // namespace
}  // namespace vexa
