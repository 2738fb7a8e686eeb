// Handles: allocation of the lowest free slot, the limit of 100, and the
// answers of every handle function to a handle that is not open.
#include <unistd.h>

#include <string>
#include <vector>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

TEST(HandleTableTest, HundredHandlesThenFullThenLowestFreeSlotIsReused) {
  TempDir dir;
  std::vector<int> handles;
  for (int i = 0; i < VEXA_MAX_FILES; ++i) {
    int h = -1;
    ASSERT_EQ(vexaOpenWrite(dir.File("f" + std::to_string(i)).c_str(), &h),
              VEXA_OK);
    ASSERT_EQ(h, i);
    handles.push_back(h);
  }
  int h = 5;
  EXPECT_EQ(vexaOpenWrite(dir.File("one-too-many").c_str(), &h),
            VEXA_E_TOO_MANY_FILES);
  EXPECT_EQ(h, -1);

  EXPECT_EQ(vexaCloseRead(37), VEXA_OK);  // any close call closes any handle
  EXPECT_EQ(vexaCloseRead(37), VEXA_E_BAD_HANDLE);
  EXPECT_EQ(vexaOpenWrite(dir.File("again").c_str(), &h), VEXA_OK);
  EXPECT_EQ(h, 37);
  for (int handle : handles) EXPECT_EQ(vexaCloseAppend(handle), VEXA_OK);
}

// Every handle function, given a handle that is not open, returns 5 and
// leaves its outputs reset.
TEST(HandleTableTest, HandlesThatAreNotOpenAreRefusedWithOutputsReset) {
  for (int bad : {-1, 100, 99}) {
    SCOPED_TRACE(bad);
    int n = 9;
    EXPECT_EQ(vexaGetNumberofVariables(bad, &n), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(n, 0);
    char** names = reinterpret_cast<char**>(1);
    int* types = reinterpret_cast<int*>(1);
    n = 9;
    EXPECT_EQ(vexaGetVarNames(bad, &n, &names, &types), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(names, nullptr);
    EXPECT_EQ(types, nullptr);
    char buf[VEXA_NAME_BUFFER] = "junk";
    int type = 9;
    EXPECT_EQ(vexaGetVarInfo(bad, 0, buf, &type), VEXA_E_BAD_HANDLE);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(type, 0);
    double vh = 9;
    EXPECT_EQ(vexaGetVarHandle(bad, "a", &vh), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vh, 0.0);
    EXPECT_EQ(vexaSetVarName(bad, "a", 0), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaSetVarLabel(bad, "a", "l"), VEXA_E_BAD_HANDLE);
    int len = 9;
    std::string label(200, 'x');
    EXPECT_EQ(vexaGetVarLabelLong(bad, "a", label.data(), 200, &len),
              VEXA_E_BAD_HANDLE);
    EXPECT_EQ(label[0], '\0');
    EXPECT_EQ(len, 0);
    int t = 0, d = 0, w = 0;
    EXPECT_EQ(vexaGetVarPrintFormat(bad, "a", &t, &d, &w), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(t * 10000 + d * 100 + w, 50208);  // the preset F8.2
    EXPECT_EQ(vexaSetVarPrintFormat(bad, "a", 5, 2, 8), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaSetVarWriteFormat(bad, "a", 5, 2, 8), VEXA_E_BAD_HANDLE);
    int v = 9;
    EXPECT_EQ(vexaGetVarMeasureLevel(bad, "a", &v), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(vexaGetVarAlignment(bad, "a", &v), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(v, 1);
    v = 9;
    EXPECT_EQ(vexaGetVarColumnWidth(bad, "a", &v), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(v, 0);
    v = 9;
    EXPECT_EQ(vexaGetVarRole(bad, "a", &v), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(vexaSetVarMeasureLevel(bad, "a", 1), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaSetVarAlignment(bad, "a", 1), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaSetVarColumnWidth(bad, "a", 1), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaSetVarRole(bad, "a", 1), VEXA_E_BAD_HANDLE);
    char compat[VEXA_COMPAT_NAME_BUFFER] = "junk";
    EXPECT_EQ(vexaGetVarCompatName(bad, "a", compat), VEXA_E_BAD_HANDLE);
    EXPECT_STREQ(compat, "");
    EXPECT_EQ(vexaSetCaseWeightVar(bad, "a"), VEXA_E_BAD_HANDLE);
    char weight[VEXA_NAME_BUFFER] = "junk";
    EXPECT_EQ(vexaGetCaseWeightVar(bad, weight), VEXA_E_BAD_HANDLE);
    EXPECT_STREQ(weight, "");
    EXPECT_EQ(vexaCloseRead(bad), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaCloseWrite(bad), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaCloseAppend(bad), VEXA_E_BAD_HANDLE);
  }
}

TEST(HandleTableTest, NullOutputsGiveTheFallbackInsteadOfAFault) {
  TempDir dir;
  EXPECT_EQ(vexaOpenWrite(dir.File("x").c_str(), nullptr), VEXA_E_FILE_OPEN);
  EXPECT_EQ(vexaOpenRead(nullptr, nullptr), VEXA_E_FILE_OPEN);
  int h = -1;
  ASSERT_EQ(vexaOpenWrite(dir.File("x").c_str(), &h), VEXA_OK);
  EXPECT_EQ(vexaGetNumberofVariables(h, nullptr), VEXA_E_BAD_HANDLE);
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
}

TEST(OpenWriteTest, LeavesNoFileBeforeTheCommitAndFailsInAMissingDirectory) {
  TempDir dir;
  std::string path = dir.File("out.vexa");
  int h = -1;
  ASSERT_EQ(vexaOpenWrite(path.c_str(), &h), VEXA_OK);
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
  EXPECT_EQ(vexaSetVarName(h, "a", 0), VEXA_OK);
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
  EXPECT_NE(::access(path.c_str(), F_OK), 0);

  h = 3;
  EXPECT_EQ(vexaOpenWrite(dir.File("no/such/dir.vexa").c_str(), &h),
            VEXA_E_FILE_OPEN);
  EXPECT_EQ(h, -1);
  h = 3;
  EXPECT_EQ(vexaOpenWriteU8(dir.File("caf\xC3\xA9.vexa").c_str(), &h), VEXA_OK);
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
}

TEST(OpenReadTest, MissingFileGivesFileOpenAndMinusOne) {
  TempDir dir;
  int h = 7;
  EXPECT_EQ(vexaOpenRead(dir.File("absent.vexa").c_str(), &h), VEXA_E_FILE_OPEN);
  EXPECT_EQ(h, -1);
  h = 7;
  EXPECT_EQ(vexaOpenReadU8Ex(dir.File("absent.vexa").c_str(), "pw", &h),
            VEXA_E_FILE_OPEN);
  EXPECT_EQ(h, -1);
}

}  // namespace
}  // namespace vexa::testing
