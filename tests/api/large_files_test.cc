// Files larger than a read window and than a zlib block, through the C API:
// every case read back with read-ahead and without, also after a seek back
// and on again, and positions taken on one handle used on another; zlib
// files written, appended to in steps and read with one and with two
// workers. (Other byte orders and block sizes: io/zlib_stream_test.cc;
// damaged zlib blocks: sysfile/case_reading_test.cc; a worker's failed
// write is a row of the write-fault table.)
#include <string>
#include <utility>
#include <vector>

#include "api/api_fixture.h"
#include "io/read_ahead.h"
#include "io/zlib_stream.h"

namespace vexa::testing {
namespace {

// 600,000 cases of 3 slots: more than 3 zlib blocks, 14 MB uncompressed.
constexpr int kVars = 3, kCases = 600'000;

// Case n: n, n / 7 (mostly a literal) and, every fifth case, system-missing
// (a numeric of 3 slots cuts byte-code blocks at every case position).
double Value(int n, int v) {
  if (v == 0) return n;
  if (v == 1) return n / 7.0;
  return n % 5 == 0 ? -1.7976931348623157e308 : n % 100;
}

// Cases from..to-1: a new file when `from` is 0, else appended to the file.
int Write(const std::string& path, int compression, int from, int to) {
  int h = -1;
  int code = from > 0 ? vexaOpenAppend(path.c_str(), &h)
                      : Each({vexaOpenWrite(path.c_str(), &h), vexaSetVarName(h, "v0", 0),
                              vexaSetVarName(h, "v1", 0), vexaSetVarName(h, "v2", 0),
                              vexaSetCompression(h, compression), vexaCommitHeader(h)});
  for (int n = from; n < to && code == VEXA_OK; ++n) {
    const double c[kVars] = {Value(n, 0), Value(n, 1), Value(n, 2)};
    code = vexaWholeCaseOut(h, c);
  }
  return Each({code, vexaCloseWrite(h)});
}

// Reads every case, going back to case `back` and on again half way.
void ExpectCases(const std::string& path, int compression, int back) {
  int h = -1, got_compression = -1, cases = 0;
  ASSERT_EQ(Each({vexaOpenRead(path.c_str(), &h), vexaGetCompression(h, &got_compression),
                  vexaGetNumberofCases(h, &cases)}), VEXA_OK);
  EXPECT_EQ(std::pair(got_compression, cases), std::pair(compression, kCases));
  double c[kVars];
  for (int n = 0; n < kCases; ++n) {
    ASSERT_EQ(vexaWholeCaseIn(h, c), VEXA_OK) << n;
    for (int v = 0; v < kVars; ++v) ASSERT_EQ(c[v], Value(n, v)) << n;
    if (n == kCases / 2) {
      ASSERT_EQ(Each({vexaSeekNextCase(h, back), vexaWholeCaseIn(h, c)}), VEXA_OK);
      ASSERT_EQ(c[1], Value(back, 1));
      ASSERT_EQ(vexaSeekNextCase(h, n + 1), VEXA_OK);
    }
  }
  EXPECT_EQ(vexaWholeCaseIn(h, c), VEXA_W_END_OF_DATA);
  vexaCloseRead(h);
}

// Positions taken on one handle put a fresh handle straight on the same
// cases, in any order; the reads then go on from there.
void ExpectPositions(const std::string& path) {
  int a = -1, b = -1;
  ASSERT_EQ(Each({vexaOpenRead(path.c_str(), &a), vexaOpenRead(path.c_str(), &b)}), VEXA_OK);
  std::vector<std::pair<int, long long>> at;
  for (int k : {kCases - 1, 0, 412345, 1, 412346, kCases}) {
    long long position = -9;
    ASSERT_EQ(Each({vexaSeekNextCase(a, k), vexaGetCasePosition(a, &position)}), VEXA_OK);
    at.emplace_back(k, position);
  }
  EXPECT_EQ(at[1].second, 0);
  for (auto it = at.rbegin(); it != at.rend(); ++it) {
    ASSERT_EQ(vexaSeekCasePosition(b, it->first, it->second), VEXA_OK);
    for (int k = it->first; k < it->first + 2; ++k) {
      double c[kVars] = {};
      ASSERT_EQ(vexaWholeCaseIn(b, c), k < kCases ? VEXA_OK : VEXA_W_END_OF_DATA) << k;
      EXPECT_TRUE(k >= kCases || (c[0] == k && c[1] == Value(k, 1) && c[2] == Value(k, 2))) << k;
    }
  }
  RunSteps(b, {STEP(vexaSeekCasePosition(h, -1, 0), VEXA_E_FILE_READ, ""),
               STEP(vexaSeekCasePosition(h, 0, -1), VEXA_E_FILE_READ, ""),
               STEP(vexaSeekCasePosition(h, 0, 0), VEXA_OK, ""),
               STEP(vexaGetCasePosition(h, nullptr), VEXA_E_FILE_READ, "")});
  EXPECT_EQ(Each({vexaCloseRead(a), vexaCloseRead(b)}), VEXA_OK);
}

std::string AfterHeaderRecord(const std::string& path) { return ReadFile(path).substr(176); }

TEST(LargeFilesTest, CasesComeBackWithAndWithoutReadAheadAndFromEveryZlibWorkerCount) {
  TempDir dir;
  for (int compression : {0, 1}) {
    const std::string path = dir.File("f" + std::to_string(compression));
    ASSERT_EQ(Write(path, compression, 0, kCases), VEXA_OK);
    for (bool ahead : {true, false}) {
      SCOPED_TRACE(::testing::Message() << compression << (ahead ? " ahead" : ""));
      ReadAhead::SetEnabled(ahead);
      ExpectCases(path, compression, 10);
      ExpectPositions(path);
    }
    ReadAhead::SetEnabled(true);
  }
  // Zlib: every worker count writes the same bytes (beyond the header
  // record, whose time stamp may differ), and appends in steps give the file
  // written at once: the first append ends inside a block of byte code and
  // of zlib data, the second starts there; the last after a whole zlib block.
  const std::string whole = dir.File("whole"), parts = dir.File("parts");
  std::string first;
  for (int workers : {1, 2}) {
    SCOPED_TRACE(workers);
    zcmpsFilestr::SetWorkerCount(workers);
    ASSERT_EQ(Write(whole, 2, 0, kCases), VEXA_OK);
    ExpectCases(whole, 2, 12345);
    ExpectPositions(whole);
    long long blocks = 0, data = 0, compressed = 0;
    int h = -1;
    ASSERT_EQ(Each({vexaOpenRead(whole.c_str(), &h),
                    vexaGetZlibBlockInfo(h, &blocks, &data, &compressed), vexaCloseRead(h)}),
              VEXA_OK);
    EXPECT_EQ(blocks, (data + 4190207) / 4190208);
    if (workers == 1) first = AfterHeaderRecord(whole);
    EXPECT_TRUE(AfterHeaderRecord(whole) == first);
    const int steps[] = {0, 1001, 400'003, kCases};
    for (int s = 0; s + 1 < 4; ++s) ASSERT_EQ(Write(parts, 2, steps[s], steps[s + 1]), VEXA_OK);
    EXPECT_TRUE(AfterHeaderRecord(parts) == first);
    ExpectCases(parts, 2, 7);
  }
  zcmpsFilestr::SetWorkerCount(-1);
}

}  // namespace
}  // namespace vexa::testing
