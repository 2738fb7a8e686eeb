// The read-ahead worker: sequential fetches take the prefetched buffer, a
// jump is read directly and prefetching goes on from there, the end of the
// file stops it. (Readers with and without it: api/large_files_test.cc.)
#include "io/read_ahead.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace vexa {
namespace {

TEST(ReadAheadTest, FetchesTheSameBytesAsTheFileHolds) {
  testing::TempDir dir;
  std::string data(100'000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 / 7);
  RefPtr<VEXA_File> file = RefPtr<VEXA_File>::Make();
  ASSERT_TRUE(Use(file).Open(dir.Write("f", data), "r"));
  constexpr size_t kHead = 16, kSize = 4096;
  ReadAhead ahead(file, kSize + kHead, kHead);
  LargeBuffer buffer = NewLargeBuffer(kSize + kHead);
  const char* first = buffer.get();
  // Sequential from 0, a jump back to 1000, sequential again to the end.
  const int64_t starts[] = {0, 4096, 8192, 1000, 5096, 9192, 98304};
  bool exchanged = false;
  for (int64_t at : starts) {
    SCOPED_TRACE(at);
    const size_t got = ahead.Fetch(buffer, kSize, at, true);
    const size_t want = std::min<size_t>(kSize, data.size() - static_cast<size_t>(at));
    ASSERT_EQ(got, want);
    EXPECT_EQ(std::string(buffer.get() + kHead, got), data.substr(static_cast<size_t>(at), got));
    exchanged |= buffer.get() != first;
  }
  EXPECT_TRUE(exchanged);
  // Beyond the end: nothing, and no worker left waiting.
  EXPECT_EQ(ahead.Fetch(buffer, kSize, 200'000, true), 0u);
  // Many sweeps, each with a jump back, so that the caller and the worker
  // claim ranges in every order (the threads sanitizer build runs this too).
  int wrong = 0;
  for (int sweep = 0; sweep < 40; ++sweep) {
    for (int64_t at = sweep * 13; at < static_cast<int64_t>(data.size()); at += kSize) {
      const size_t got = ahead.Fetch(buffer, kSize, at, true);
      wrong += std::string(buffer.get() + kHead, got) != data.substr(static_cast<size_t>(at), got);
      if (at == 40'000 + sweep * 13 && sweep % 2 == 0) at -= 3 * kSize;
    }
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace vexa
