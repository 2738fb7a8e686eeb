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
    const int setters[] = {
        vexaSetVarName(bad, "a", 0),           vexaSetVarLabel(bad, "a", "l"),
        vexaSetVarPrintFormat(bad, "a", 5, 2, 8),
        vexaSetVarWriteFormat(bad, "a", 5, 2, 8),
        vexaSetVarMeasureLevel(bad, "a", 1),   vexaSetVarAlignment(bad, "a", 1),
        vexaSetVarColumnWidth(bad, "a", 1),    vexaSetVarRole(bad, "a", 1),
        vexaSetCaseWeightVar(bad, "a"),        vexaCloseRead(bad),
        vexaCloseWrite(bad),                   vexaCloseAppend(bad)};
    for (size_t i = 0; i < std::size(setters); ++i) {
      EXPECT_EQ(setters[i], VEXA_E_BAD_HANDLE) << "call " << i;
    }
    int n = 9;
    EXPECT_EQ(vexaGetNumberofVariables(bad, &n), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(n, 0);
    char** names = reinterpret_cast<char**>(1);
    int* types = reinterpret_cast<int*>(1);
    n = 9;
    EXPECT_EQ(vexaGetVarNames(bad, &n, &names, &types), VEXA_E_BAD_HANDLE);
    EXPECT_TRUE(n == 0 && names == nullptr && types == nullptr);
    char buf[VEXA_NAME_BUFFER] = "junk";
    n = 9;
    EXPECT_EQ(vexaGetVarInfo(bad, 0, buf, &n), VEXA_E_BAD_HANDLE);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(n, 0);
    double vh = 9;
    EXPECT_EQ(vexaGetVarHandle(bad, "a", &vh), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vh, 0.0);
    std::string label(200, 'x');
    n = 9;
    EXPECT_EQ(vexaGetVarLabelLong(bad, "a", label.data(), 200, &n),
              VEXA_E_BAD_HANDLE);
    EXPECT_TRUE(label[0] == '\0' && n == 0);
    int t = 0, d = 0, w = 0;
    EXPECT_EQ(vexaGetVarPrintFormat(bad, "a", &t, &d, &w), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(t * 10000 + d * 100 + w, 50208);  // the preset F8.2
    // Measure level, column width and role reset to 0; alignment to 1.
    int (*const properties[])(int, const char*, int*) = {
        vexaGetVarMeasureLevel, vexaGetVarColumnWidth, vexaGetVarRole,
        vexaGetVarAlignment};
    for (size_t i = 0; i < std::size(properties); ++i) {
      n = 9;
      EXPECT_EQ(properties[i](bad, "a", &n), VEXA_E_BAD_HANDLE);
      EXPECT_EQ(n, i == 3 ? 1 : 0) << "property " << i;
    }
    char compat[VEXA_COMPAT_NAME_BUFFER] = "junk";
    EXPECT_EQ(vexaGetVarCompatName(bad, "a", compat), VEXA_E_BAD_HANDLE);
    EXPECT_STREQ(compat, "");
    char weight[VEXA_NAME_BUFFER] = "junk";
    EXPECT_EQ(vexaGetCaseWeightVar(bad, weight), VEXA_E_BAD_HANDLE);
    EXPECT_STREQ(weight, "");
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
