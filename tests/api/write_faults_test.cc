// Writes that fail: the file size limit of the process makes the system's
// writes fail part way, as a full disk would. Failures surface as result
// codes, also those found only when a buffer is written out later (by the
// write-behind or zlib workers, or at the close), and a file whose writing
// failed is left as it was: a new file is not created, an append leaves
// exactly the cases that were in the file before.
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

// AddIds from a column of ids, 65,536 cases a call.
int AddIdColumns(int h, int first, int last) {
  std::vector<double> ids(65536);
  const double handle = 1;
  const void* columns[] = {ids.data()};
  int code = VEXA_OK;
  for (int at = first, got = 0; at <= last && code == VEXA_OK; at += got) {
    std::iota(ids.begin(), ids.end(), at);
    code = vexaColumnsOut(h, 1, &handle, columns, std::min(65536, last - at + 1), &got);
  }
  return code;
}

// Cases of a new file or of an append, under a limit a few bytes above the
// file as it is before the cases. A case count of 400 stays in the
// stream's buffer (or the zlib block), so every commit succeeds and the
// close finds the failure; 10,000,000 runs until a commit meets it (handed
// back by the write-behind or zlib workers).
TEST(WriteFaultsTest, NothingWrittenIsLostSilently) {
  struct Row {
    int compression;
    bool append;
    int cases;
    int commits;  // the code of the commits
    bool by_columns = false;  // the cases written from a column
  };
  std::vector<Row> rows;
  for (int compression : {0, 1, 2}) {
    for (bool append : {false, true}) {
      rows.push_back({compression, append, 400, VEXA_OK});
      rows.push_back({compression, append, 10'000'000, VEXA_E_FILE_WRITE});
      rows.push_back({compression, append, 400, VEXA_OK, true});
      rows.push_back({compression, append, 10'000'000, VEXA_E_FILE_WRITE, true});
    }
  }
  TempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "compression " << row.compression << ", "
                                      << (row.append ? "append " : "new ") << row.cases
                                      << (row.by_columns ? " by columns" : ""));
    const std::string path = dir.File("data.vexa");
    // The file with its first 1,000 cases, or with none.
    ASSERT_EQ(WriteIds(path, 0, row.append ? 999 : -1, row.compression), VEXA_OK);
    std::string before = ReadFile(path);
    const rlim_t limit = before.size() + 8;
    int h = -1;
    if (row.append) {
      ASSERT_EQ(vexaOpenAppend(path.c_str(), &h), VEXA_OK);
    } else {
      ASSERT_EQ(::unlink(path.c_str()), 0);
      before.clear();
      ASSERT_EQ(Each({vexaOpenWrite(path.c_str(), &h), vexaSetVarName(h, "id", 0),
                      vexaSetCompression(h, row.compression), vexaCommitHeader(h)}), VEXA_OK);
    }
    {
      ScopedFileSizeLimit limited(limit);
      EXPECT_EQ((row.by_columns ? AddIdColumns : AddIds)(h, 1000, 999 + row.cases), row.commits);
      EXPECT_EQ(vexaCloseWrite(h), VEXA_E_FILE_WRITE);
    }
    EXPECT_TRUE(ReadFile(path) == before) << "the file changed";
    EXPECT_EQ(vexaCloseRead(h), VEXA_E_BAD_HANDLE);
  }
}

}  // namespace
}  // namespace vexa::testing
