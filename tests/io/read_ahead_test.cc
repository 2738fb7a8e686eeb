// The read-ahead worker: sequential fetches take the prefetched buffer, a
// jump is read directly and prefetching goes on from there, the end of the
// file stops it. (Readers with and without it: api/large_files_test.cc; the
// caller overtaking the worker: faults/read_ahead_hook_test.cc.)
#include "io/read_ahead.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace vexa {
namespace {

// Many sweeps, each with a jump back, so that the caller and the worker
// claim ranges in every order (the threads sanitizer build runs this too).
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
  int wrong = 0;
  bool exchanged = false;  // a prefetched buffer is taken, not copied
  for (int sweep = 0; sweep < 40; ++sweep) {
    for (int64_t at = sweep * 13; at < static_cast<int64_t>(data.size()); at += kSize) {
      const size_t got = ahead.Fetch(buffer, kSize, at, true);
      const size_t want = std::min<size_t>(kSize, data.size() - static_cast<size_t>(at));
      wrong += got != want ||
               std::string(buffer.get() + kHead, got) != data.substr(static_cast<size_t>(at), got);
      exchanged |= buffer.get() != first;
      if (at == 40'000 + sweep * 13 && sweep % 2 == 0) at -= 3 * kSize;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(exchanged);
  // Beyond the end: nothing, and no worker left waiting.
  EXPECT_EQ(ahead.Fetch(buffer, kSize, 200'000, true), 0u);
}

}  // namespace
}  // namespace vexa
