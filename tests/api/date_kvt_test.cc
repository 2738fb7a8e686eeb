// Date variable and KVT calls: the array handed in and out, refusals, and
// both after write and read.
#include <string>
#include <utility>
#include <vector>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

using DateKvtTest = WriteHandleTest;

TEST_F(DateKvtTest, SurviveWriteAndRead) {
  const int h = handle_;
  ASSERT_EQ(Each({vexaSetVarName(h, "x", 0), vexaSetVarName(h, "YEAR_", 0),
                  vexaSetVarName(h, "DATE_", 8)}), VEXA_OK);
  // YEAR_ at case position 1, DATE_ at 2 (1-based 2 and 3).
  const std::vector<int> info = {1, 4, 1, 5, 6, 0, 2, 2, 9, 3, 11, 0};
  const std::pair<std::vector<int>, int> sets[] = {
      {{info.begin(), info.begin() + 7}, VEXA_E_BAD_DATE_VARIABLES},
      {{1, 4, 1, 5, 6, 0, 1, 2, 9}, VEXA_E_BAD_DATE_VARIABLES},  // x is no YEAR_
      {{1, 4, 1, 5, 6, 0, 8, 2, 9}, VEXA_E_BAD_DATE_VARIABLES},  // no variable 8
      {{1, 4, 0, 5, 6, 0}, VEXA_OK},  // no variables: six entries are enough
      {info, VEXA_OK}};
  for (const auto& [entries, code] : sets) {
    EXPECT_EQ(vexaSetDateVariables(h, static_cast<int>(entries.size()), entries.data()), code);
  }
  static const unsigned char block[] = {'k', 'v', 't', 7, 0, 0, 0};
  RunSteps(h, {STEP(vexaGetDateVariables(h, &o.i[0], &o.types), VEXA_E_OPENED_FOR_WRITE,
                    " i0=0 types=null"),
               STEP(vexaSetKVTNext(h, block, 3), VEXA_W_NO_KVT_INFO, ""),
               STEP(Each({vexaSetKVTFirst(h, block, 3), vexaSetKVTNext(h, block + 3, 4),
                          vexaSetKVTGUID(h, "{guid}"), vexaCommitHeader(h), vexaCloseWrite(h)}),
                    VEXA_OK, "")});
  handle_ = -1;
  int r = -1, n = 0, *got = nullptr;
  ASSERT_EQ(Each({vexaOpenRead(dir_.File("new.vexa").c_str(), &r),
                  vexaGetDateVariables(r, &n, &got)}), VEXA_OK);
  // The pair went to entries 4 and 3 in that order.
  EXPECT_EQ(std::vector<int>(got, got + n),
            (std::vector<int>{1, 4, 1, 6, 5, 1, 2, 2, 9, 3, 11, 0}));
  vexaFreeDateVariables(got);
  RunSteps(r, {STEP(vexaGetKVTInfo(h, &o.i[0], &o.i[1]), VEXA_OK, " i0=7 i1=7"),
               STEP(vexaGetKVTFirst(h, o.s[0], 5, &o.i[0]), VEXA_OK, " s0=kvt\x07 i0=5"),
               STEP(vexaGetKVTGUID(h, o.s[0]), VEXA_OK, " s0={guid}"),
               // A failure inside these calls is a read error.
               STEP(vexaGetKVTInfo(h, nullptr, nullptr), VEXA_E_FILE_READ, ""),
               STEP(vexaGetKVTGUID(h, nullptr), VEXA_E_FILE_READ, ""),
               STEP(vexaGetDateVariables(h, nullptr, nullptr), VEXA_E_FILE_READ, ""),
               STEP(vexaGetVariableSets(h, nullptr), VEXA_E_FILE_READ, ""),
               STEP(vexaCloseRead(h), VEXA_OK, "")});
}

// The KVT block as files hold it: absent, short, read in pieces, with a
// GUID too long for the buffer, and the cases in which the block is not
// offered (the other byte order, a file whose texts are converted).
TEST(KvtReadTest, BlocksAsFilesHoldThem) {
  struct Case {
    const char* what;
    std::string block;  // subtype 8, none when empty
    bool big;
    int32_t code_page;
    int info_code, length, trailing;
    // Bytes delivered by First, then Next three times (a buffer of 4); after
    // the last piece reading starts again from the first byte.
    std::vector<int> pieces;
  } cases[] = {
      {"absent", "", false, 2, VEXA_W_NO_KVT_INFO, 0, 0, {}},
      {"shorter than its trailing number", "abc", false, 2, VEXA_OK, 3, 0, {3, 3, 3, 3}},
      {"read in pieces", std::string("abcdef") + '\x05' + '\0' + '\0' + '\0', false, 2, VEXA_OK,
       10, 5, {4, 4, 2, 4}},
      {"other byte order", "abcd", true, 2, VEXA_W_NO_KVT_INFO, 0, 0, {}},
      {"texts converted", "abcd", false, 1252, VEXA_W_NO_KVT_INFO, 0, 0, {}},
  };
  EncodingSettings settings;
  settings.Use(1);
  for (const Case& c : cases) {
    SysFileBuilder b(c.big);
    b.Header().NumericVar("a").MachineInts({24, 0, 0, 720, 1, 1, c.big ? 1 : 2, c.code_page});
    if (!c.block.empty()) b.Extension(8, 1, static_cast<int32_t>(c.block.size()), c.block);
    b.Extension(12, std::string(300, 'g'));
    TempDir dir;
    const int h = OpenBuilt(dir, b.End().Bytes());
    int length = -1, trailing = -1, delivered = -1;
    EXPECT_EQ(vexaGetKVTInfo(h, &length, &trailing), c.info_code) << c.what;
    EXPECT_EQ((std::vector{length, trailing}), (std::vector{c.length, c.trailing})) << c.what;
    char piece[4];
    std::vector<int> pieces;
    int code = vexaGetKVTFirst(h, piece, 4, &delivered);
    EXPECT_EQ(code, c.info_code) << c.what;
    for (int n = 0; code == VEXA_OK && n < 4; ++n) {
      pieces.push_back(delivered);
      if (n < 3) code = vexaGetKVTNext(h, piece, 4, &delivered);
    }
    EXPECT_EQ(pieces, c.pieces) << c.what;
    char text[257];
    EXPECT_EQ(vexaGetKVTGUID(h, text), VEXA_OK) << c.what;
    EXPECT_EQ(std::string(text), std::string(256, 'g')) << c.what;
    EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
  }
}

}  // namespace
}  // namespace vexa::testing
