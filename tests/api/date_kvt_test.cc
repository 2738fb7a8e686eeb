// Date variable and KVT calls: the array handed in and out, refusals, and
// both after write and read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api_fixture.h"

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

}  // namespace
}  // namespace vexa::testing
