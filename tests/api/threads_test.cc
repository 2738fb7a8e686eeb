// Threads using different handles at the same time: eight threads each open,
// read and close a thousand files (every twentieth one written first),
// while the handle table and the settings are shared.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "api/api_fixture.h"
#include "support/sample_file.h"

namespace vexa::testing {
namespace {

// Failures are counted, not asserted, off the main thread.
int ReadAll(const std::string& path, double expected_sum) {
  int h = -1, failures = 0;
  if (vexaOpenRead(path.c_str(), &h) != VEXA_OK) return 1;
  double sum = 0, id = 0;
  while (vexaReadCaseRecord(h) == VEXA_OK) {
    failures += vexaGetValueNumeric(h, 1, &id) != VEXA_OK;
    sum += id;
  }
  failures += sum != expected_sum;
  failures += vexaCloseRead(h) != VEXA_OK;
  return failures;
}

int WriteOwn(const std::string& path, int n) {
  int h = -1;
  if (vexaOpenWrite(path.c_str(), &h) != VEXA_OK) return 1;
  int failures = Each({vexaSetVarName(h, "id", 0), vexaCommitHeader(h)}) != VEXA_OK;
  for (int i = 1; i <= n; ++i) {
    failures += Each({vexaSetValueNumeric(h, 1, i), vexaCommitCaseRecord(h)}) != VEXA_OK;
  }
  return failures + (vexaCloseWrite(h) != VEXA_OK);
}

TEST(ThreadsTest, DifferentHandlesAtTheSameTime) {
  TempDir dir;
  const std::string sample = dir.Write("sample.vexa", BuildSampleFile());
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      const std::string own = dir.File("own" + std::to_string(t) + ".vexa");
      int local = 0;
      for (int i = 0; i < 1000; ++i) {
        if (i % 20 == 0) {
          local += WriteOwn(own, t + 2);
          local += ReadAll(own, (t + 2) * (t + 3) / 2);
        } else {
          local += ReadAll(sample, 1 + 2 + 3 + 4);
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
