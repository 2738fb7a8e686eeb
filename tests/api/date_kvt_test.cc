// Date variable and KVT calls: the array handed in and out, refusals, and
// both after write and read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

using DateKvtTest = WriteHandleTest;

TEST_F(DateKvtTest, SurviveWriteAndRead) {
  const int h = handle_;
  ASSERT_EQ(vexaSetVarName(h, "x", 0), VEXA_OK);
  ASSERT_EQ(vexaSetVarName(h, "YEAR_", 0), VEXA_OK);
  ASSERT_EQ(vexaSetVarName(h, "DATE_", 8), VEXA_OK);
  // YEAR_ at case position 1, DATE_ at 2 (1-based 2 and 3).
  const int info[] = {1, 4, 1, 5, 6, 0, 2, 2, 9, 3, 11, 0};
  EXPECT_EQ(vexaSetDateVariables(h, 7, info), VEXA_E_BAD_DATE_VARIABLES);
  const int wrong_type[] = {1, 4, 1, 5, 6, 0, 1, 2, 9};  // x is no YEAR_
  EXPECT_EQ(vexaSetDateVariables(h, 9, wrong_type), VEXA_E_BAD_DATE_VARIABLES);
  const int no_variable[] = {1, 4, 1, 5, 6, 0, 8, 2, 9};
  EXPECT_EQ(vexaSetDateVariables(h, 9, no_variable), VEXA_E_BAD_DATE_VARIABLES);
  const int header_only[] = {1, 4, 0, 5, 6, 0};  // no variables: six entries are enough
  EXPECT_EQ(vexaSetDateVariables(h, 6, header_only), VEXA_OK);
  ASSERT_EQ(vexaSetDateVariables(h, 12, info), VEXA_OK);
  int n = 0;
  int* got = nullptr;
  EXPECT_EQ(vexaGetDateVariables(h, &n, &got), VEXA_E_OPENED_FOR_WRITE);

  const unsigned char block[] = {'k', 'v', 't', 7, 0, 0, 0};
  EXPECT_EQ(vexaSetKVTNext(h, block, 3), VEXA_W_NO_KVT_INFO);
  ASSERT_EQ(vexaSetKVTFirst(h, block, 3), VEXA_OK);
  ASSERT_EQ(vexaSetKVTNext(h, block + 3, 4), VEXA_OK);
  ASSERT_EQ(vexaSetKVTGUID(h, "{guid}"), VEXA_OK);
  ASSERT_EQ(vexaCommitHeader(h), VEXA_OK);
  ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
  handle_ = -1;

  int r = -1;
  ASSERT_EQ(vexaOpenRead(dir_.File("new.vexa").c_str(), &r), VEXA_OK);
  ASSERT_EQ(vexaGetDateVariables(r, &n, &got), VEXA_OK);
  EXPECT_EQ(std::vector<int>(got, got + n),
            (std::vector<int>{1, 4, 1, 5, 6, 1, 2, 2, 9, 3, 11, 0}));
  vexaFreeDateVariables(got);
  int length = 0, trailing = 0;
  EXPECT_EQ(vexaGetKVTInfo(r, &length, &trailing), VEXA_OK);
  EXPECT_EQ(length, 7);
  EXPECT_EQ(trailing, 7);
  char buffer[8] = {};
  int delivered = 0;
  EXPECT_EQ(vexaGetKVTFirst(r, buffer, 5, &delivered), VEXA_OK);
  EXPECT_EQ(std::string(buffer, 3), "kvt");
  char guid[257];
  EXPECT_EQ(vexaGetKVTGUID(r, guid), VEXA_OK);
  EXPECT_STREQ(guid, "{guid}");
  EXPECT_EQ(vexaCloseRead(r), VEXA_OK);
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
  const int mode = vexaGetInterfaceEncoding();
  ASSERT_EQ(vexaSetInterfaceEncoding(1), VEXA_OK);
  for (const Case& c : cases) {
    SysFileBuilder b(c.big);
    b.Header().NumericVar("a").MachineInts({24, 0, 0, 720, 1, 1, c.big ? 1 : 2, c.code_page});
    if (!c.block.empty()) b.Extension(8, 1, static_cast<int32_t>(c.block.size()), c.block);
    const std::string guid(300, 'g');
    b.Extension(12, 1, static_cast<int32_t>(guid.size()), guid);
    TempDir dir;
    int h = -1, length = -1, trailing = -1, delivered = -1;
    ASSERT_EQ(vexaOpenRead(dir.Write("k.vexa", b.End().Bytes()).c_str(), &h), VEXA_OK) << c.what;
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
  EXPECT_EQ(vexaSetInterfaceEncoding(mode), VEXA_OK);
}

}  // namespace
}  // namespace vexa::testing
