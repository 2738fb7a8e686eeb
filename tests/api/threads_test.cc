// Threads using different handles at the same time: eight threads each open,
// read and close a thousand files (every twentieth one written first),
// while the handle table and the settings are shared. A handle looked up
// without the table's lock is seen closed once another thread closed it,
// and each thread keeps its own error detail.
#include <atomic>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "api/api_fixture.h"
#include "support/sample_file.h"

namespace vexa::testing {
namespace {

TEST(ThreadsTest, DifferentHandlesAtTheSameTime) {
  TempDir dir;
  const std::string sample = dir.Write("sample.vexa", BuildSampleFile());
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      const std::string own = dir.File("own" + std::to_string(t) + ".vexa");
      std::vector<int> mine(static_cast<size_t>(t + 2));
      std::iota(mine.begin(), mine.end(), 1);
      int local = 0;
      for (int i = 0; i < 1000; ++i) {
        // Failures are counted, not asserted, off the main thread.
        if (i % 20 == 0) {
          local += WriteIds(own, 1, t + 2) != VEXA_OK;
          local += ReadIds(own) != mine;
        } else {
          local += ReadIds(sample) != std::vector<int>{1, 2, 3, 4};
        }
        // A setting may not change under open handles, nor tear.
        const int mode = vexaGetInterfaceEncoding();
        local += mode != 0 && mode != 1;
      }
      failures += local;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(vexaCloseRead(0), VEXA_E_BAD_HANDLE);  // every handle was given back
}

TEST(ThreadsTest, HandleClosedElsewhereAndDetailsKeptPerThread) {
  TempDir dir;
  const int h = OpenBuilt(dir, BuildSampleFile());
  ASSERT_EQ(vexaReadCaseRecord(h), VEXA_OK);
  double value = 0;
  char text[16];
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(vexaGetValueNumeric(h, 1, &value), VEXA_OK);
  // A failure after many fast calls still says why; a success empties it.
  EXPECT_EQ(vexaGetValueNumeric(h, 99, &value), VEXA_E_BAD_VAR_HANDLE);
  EXPECT_NE(LastErrorDetail(), "");
  EXPECT_EQ(vexaGetValueNumeric(h, 1, &value), VEXA_OK);
  EXPECT_EQ(LastErrorDetail(), "");
  EXPECT_EQ(vexaGetValueChar(h, 1, text, sizeof text), VEXA_E_WRONG_TYPE);
  const std::string before = LastErrorDetail();
  std::thread([&] {
    // This thread's detail is its own: empty, then its own failure.
    EXPECT_EQ(LastErrorDetail(), "");
    EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
  }).join();
  EXPECT_EQ(LastErrorDetail(), before);
  // Refused (its output reset as the handle state table shows).
  EXPECT_EQ(vexaGetValueNumeric(h, 1, &value), VEXA_E_BAD_HANDLE);
  EXPECT_NE(LastErrorDetail(), before);
}

}  // namespace
}  // namespace vexa::testing
