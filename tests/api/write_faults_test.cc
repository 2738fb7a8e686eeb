// Writes that fail: the file size limit of the process makes the system's
// writes fail part way, as a full disk would. Failures surface as result
// codes, a failed commit leaves no file, and an append that fails leaves
// the cases already in the file readable.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

// Limits the size of every file this process writes, for the scope; beyond
// the limit a write fails with EFBIG instead of ending the process.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) : old_handler_(signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  sighandler_t old_handler_;
  rlimit saved_;
};

// A write handle with numeric variables carrying 200-byte labels.
int OpenWithVariables(const std::string& path, int count, int compression = 0) {
  int h = -1;
  EXPECT_EQ(vexaOpenWrite(path.c_str(), &h), VEXA_OK);
  for (int i = 0; i < count; ++i) {
    const std::string name = "variable_" + std::to_string(i);
    EXPECT_EQ(Each({vexaSetVarName(h, name.c_str(), 0),
                    vexaSetVarLabel(h, name.c_str(), std::string(200, 'L').c_str())}),
              VEXA_OK);
  }
  EXPECT_EQ(vexaSetCompression(h, compression), VEXA_OK);
  return h;
}

// Writes cases of increasing numbers until a write fails; returns the code.
int WriteUntilFailure(int h, int first, int limit) {
  int code = VEXA_OK;
  for (int n = first; n < limit && code == VEXA_OK; ++n) {
    code = Each({vexaSetValueNumeric(h, 1.0, n), vexaCommitCaseRecord(h)});
  }
  return code;
}

// A commit that cannot write the dictionary leaves no file. Short writes of
// the cases of a new file and of an append give the write error; the cases
// in the file before the append stay readable.
TEST(WriteFaultsTest, FailuresGiveTheirCodesAndLeaveTheFileAsItWas) {
  TempDir dir;
  const std::string big = dir.File("big-dictionary.vexa");
  int h = OpenWithVariables(big, 100);  // about 25 KB of dictionary
  {
    ScopedFileSizeLimit limit(4096);
    EXPECT_EQ(vexaCommitHeader(h), VEXA_E_BAD_HANDLE);
  }
  EXPECT_NE(::access(big.c_str(), F_OK), 0);
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
  EXPECT_NE(::access(big.c_str(), F_OK), 0);
  for (int compression : {0, 1}) {
    SCOPED_TRACE(compression);
    h = OpenWithVariables(dir.File("new" + std::to_string(compression)), 4, compression);
    ASSERT_EQ(vexaCommitHeader(h), VEXA_OK);
    {
      ScopedFileSizeLimit limit(1 << 20);
      EXPECT_EQ(WriteUntilFailure(h, 0, 10'000'000), VEXA_E_FILE_WRITE);
    }
    EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);

    const std::string path = dir.File("append" + std::to_string(compression));
    h = OpenWithVariables(path, 1, compression);
    ASSERT_EQ(Each({vexaCommitHeader(h), WriteUntilFailure(h, 0, 1000), vexaCloseWrite(h),
                    vexaOpenAppend(path.c_str(), &h)}),
              VEXA_OK);
    {
      ScopedFileSizeLimit limit(1 << 20);
      EXPECT_EQ(WriteUntilFailure(h, 1000, 10'000'000), VEXA_E_FILE_WRITE);
      EXPECT_EQ(vexaCloseAppend(h), VEXA_OK);
    }
    ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
    double v = -1;
    for (int n = 0; n < 1000; ++n) {
      ASSERT_EQ(Each({vexaReadCaseRecord(h), vexaGetValueNumeric(h, 1.0, &v)}), 0) << n;
      ASSERT_EQ(v, n);
    }
    // What follows is whatever reached the disk: whole cases of the
    // append, then the end of the data (or a read error for a cut case).
    int code;
    while ((code = vexaReadCaseRecord(h)) == VEXA_OK) {
      ASSERT_EQ(vexaGetValueNumeric(h, 1.0, &v), VEXA_OK);
    }
    EXPECT_TRUE(code == VEXA_W_END_OF_DATA || code == VEXA_E_FILE_READ) << code;
    vexaCloseRead(h);
  }
}

}  // namespace
}  // namespace vexa::testing
