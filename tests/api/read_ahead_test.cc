// Files larger than a read window, uncompressed and byte-code compressed,
// read the same cases with read-ahead and without, also after seeks.
#include "api/api_fixture.h"
#include "io/read_ahead.h"

namespace vexa::testing {
namespace {

TEST(ReadAheadFilesTest, CasesAreTheSameWithAndWithoutReadAhead) {
  TempDir dir;
  constexpr int kCases = 150'000, kVars = 4;  // 4.8 MB uncompressed
  for (int compression : {0, 1}) {
    SCOPED_TRACE(compression);
    const std::string path = dir.File("f" + std::to_string(compression));
    int h = -1;
    ASSERT_EQ(vexaOpenWrite(path.c_str(), &h), VEXA_OK);
    for (int v = 0; v < kVars; ++v) vexaSetVarName(h, ("v" + std::to_string(v)).c_str(), 0);
    ASSERT_EQ(Each({vexaSetCompression(h, compression), vexaCommitHeader(h)}), VEXA_OK);
    for (int n = 0; n < kCases; ++n) {
      const double c[kVars] = {double(n), n * 0.25, double(n % 7), n / 3.0};
      ASSERT_EQ(vexaWholeCaseOut(h, c), VEXA_OK);
    }
    ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
    for (bool ahead : {true, false}) {
      ReadAhead::SetEnabled(ahead);
      ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
      double c[kVars];
      for (int n = 0; n < kCases; ++n) {
        ASSERT_EQ(vexaWholeCaseIn(h, c), VEXA_OK);
        ASSERT_TRUE(c[0] == n && c[3] == n / 3.0) << n;
        if (n == 100'000) {
          // Back, then on again from there.
          ASSERT_EQ(Each({vexaSeekNextCase(h, 10), vexaWholeCaseIn(h, c)}), VEXA_OK);
          ASSERT_EQ(c[1], 2.5);
          ASSERT_EQ(vexaSeekNextCase(h, n + 1), VEXA_OK);
        }
      }
      EXPECT_EQ(vexaWholeCaseIn(h, c), VEXA_W_END_OF_DATA);
      vexaCloseRead(h);
    }
    ReadAhead::SetEnabled(true);
  }
}

}  // namespace
}  // namespace vexa::testing
