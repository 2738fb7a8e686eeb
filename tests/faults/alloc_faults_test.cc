// Allocations that fail: this program replaces the global operator new, so
// that the Nth allocation of the test's thread throws std::bad_alloc. A
// sweep over N runs writing a file and reading it back: each call gives
// success or VEXA_E_NO_MEMORY, the handles stay usable, and (in the
// sanitizer build) nothing leaks. Allocations of worker threads and of the
// C libraries beneath (ICU, zlib, OpenSSL) are not counted.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "support/replace_new.h"
#include "support/temp_dir.h"
#include "vexaio.h"

namespace {
std::atomic<int64_t> g_countdown{0};  // the allocations until the failing one
std::atomic<bool> g_fired{false};
thread_local bool t_counted = false;
}  // namespace

void NoteAllocation(size_t) {
  if (t_counted && g_countdown.load(std::memory_order_relaxed) > 0 &&
      g_countdown.fetch_sub(1, std::memory_order_relaxed) == 1) {
    g_fired = true;
    throw std::bad_alloc();
  }
}

namespace vexa::testing {
namespace {

// Runs one exported call with the test thread's allocations counted.
int Counted(const std::function<int()>& call) {
  t_counted = true;
  const int code = call();
  t_counted = false;
  return code;
}

// The steps of the scenario, each one exported call; `h` is the handle the
// scenario works on.
struct Scenario {
  std::string path;
  int h = -1;
  double value = 0;
  char text[16] = {};

  std::vector<std::pair<const char*, std::function<int()>>> Steps() {
    std::vector<std::pair<const char*, std::function<int()>>> steps = {
        {"open write", [this] { return vexaOpenWrite(path.c_str(), &h); }},
        {"name", [this] { return vexaSetVarName(h, "number", 0); }},
        {"name", [this] { return vexaSetVarName(h, "text", 10); }},
        {"value label", [this] { return vexaSetVarNValueLabel(h, "number", 1.0, "one"); }},
        {"compression", [this] { return vexaSetCompression(h, 1); }},
        {"commit", [this] { return vexaCommitHeader(h); }},
    };
    for (int n = 0; n < 3; ++n) {
      steps.push_back({"value", [this, n] { return vexaSetValueNumeric(h, 1.0, n); }});
      steps.push_back({"text", [this] { return vexaSetValueChar(h, 2.0, "text"); }});
      steps.push_back({"case", [this] { return vexaCommitCaseRecord(h); }});
    }
    steps.push_back({"close write", [this] { return vexaCloseWrite(h); }});
    steps.push_back({"open read", [this] { return vexaOpenRead(path.c_str(), &h); }});
    // A value read back wrong gives -1: no failure may go unreported.
    for (int n = 0; n < 3; ++n) {
      steps.push_back({"read", [this] { return vexaReadCaseRecord(h); }});
      steps.push_back({"get", [this, n] {
                         const int code = vexaGetValueNumeric(h, 1.0, &value);
                         return code != VEXA_OK || value == n ? code : -1;
                       }});
      steps.push_back({"get text", [this] {
                         const int code = vexaGetValueChar(h, 2.0, text, 16);
                         return code != VEXA_OK || std::string(text) == "text      " ? code : -1;
                       }});
    }
    steps.push_back({"close read", [this] { return vexaCloseRead(h); }});
    return steps;
  }
};

TEST(AllocFaultsTest, EveryFailingAllocationGivesTheMemoryCode) {
  TempDir dir;
  // A run without failures first: what the library sets up once (converters,
  // tables, the temporary directory) is then in place.
  Scenario warm{dir.File("warm.vexa")};
  for (auto& [what, step] : warm.Steps()) ASSERT_EQ(Counted(step), VEXA_OK) << what;

  bool fired = true;
  for (int64_t nth = 1; fired; ++nth) {
    Scenario s{dir.File("data.vexa")};
    auto steps = s.Steps();
    g_fired = false;
    g_countdown = nth;
    int code = VEXA_OK;
    size_t k = 0;
    for (; k < steps.size() && code == VEXA_OK; ++k) code = Counted(steps[k].second);
    g_countdown = 0;
    fired = g_fired;
    if (code != VEXA_OK) {
      EXPECT_EQ(code, VEXA_E_NO_MEMORY) << steps[k - 1].first << " at allocation " << nth;
      vexaCloseRead(s.h);  // whatever was left open closes: the table is empty again
    }
    for (int h = 0; h < 3; ++h) {
      ASSERT_EQ(vexaCloseRead(h), VEXA_E_BAD_HANDLE) << "allocation " << nth;
    }
    // A failed commit or close leaves nothing beside the file.
    ASSERT_LE(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2)
        << "allocation " << nth;
  }
  // The last run, past every allocation, failed nothing: the library works
  // on as before.
}

}  // namespace
}  // namespace vexa::testing
