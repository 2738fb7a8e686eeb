// Threads using different handles at the same time: eight threads each open,
// read and close a thousand files (every twentieth one written first),
// while the handle table and the settings are shared.
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

}  // namespace
}  // namespace vexa::testing
