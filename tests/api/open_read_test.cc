// Opening files for reading through the C API: what a good file shows, and
// the code each kind of bad file gets, with no handle left occupied.
#include <string>

#include "api/api_fixture.h"
#include "support/sample_file.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

class OpenReadFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    return dir_.Write("f" + std::to_string(n_++) + ".vexa", bytes);
  }
  // The next open gets handle 0 only when every slot is free again.
  void ExpectNoHandleOccupied() {
    int h = -1;
    ASSERT_EQ(vexaOpenWrite(dir_.File("probe.vexa").c_str(), &h), VEXA_OK);
    EXPECT_EQ(h, 0);
    vexaCloseWrite(h);
  }

  TempDir dir_;
  int n_ = 0;
};

TEST_F(OpenReadFileTest, SampleFileShowsItsDictionary) {
  for (bool big_endian : {false, true}) {
    SCOPED_TRACE(big_endian);
    int h = -1;
    ASSERT_EQ(vexaOpenRead(Write(BuildSampleFile(big_endian)).c_str(), &h),
              VEXA_OK);
    int n = 0;
    EXPECT_EQ(vexaGetNumberofVariables(h, &n), VEXA_OK);
    EXPECT_EQ(n, kSampleVariables);
    char name[VEXA_NAME_BUFFER];
    EXPECT_EQ(vexaGetCaseWeightVar(h, name), VEXA_OK);
    EXPECT_STREQ(name, "wt");
    int type = 0;
    EXPECT_EQ(vexaGetVarInfo(h, 2, name, &type), VEXA_OK);
    EXPECT_STREQ(name, "city");
    EXPECT_EQ(type, 20);
    char label[121];
    EXPECT_EQ(vexaGetVarLabel(h, "CITY", label), VEXA_OK);
    EXPECT_STREQ(label, "City of residence");
    int t, d, w;
    EXPECT_EQ(vexaGetVarPrintFormat(h, "income", &t, &d, &w), VEXA_OK);
    EXPECT_EQ(t * 10000 + d * 100 + w, 40210);  // DOLLAR10.2
    char compat[VEXA_COMPAT_NAME_BUFFER];
    EXPECT_EQ(vexaGetVarCompatName(h, "birth", compat), VEXA_OK);
    EXPECT_STREQ(compat, "birth");
    double vh = 0;
    EXPECT_EQ(vexaGetVarHandle(h, "wt", &vh), VEXA_OK);
    EXPECT_EQ(vh, 9.0);
    EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
  }
}

TEST_F(OpenReadFileTest, ReadHandleRefusesEveryDefineCall) {
  int h = -1;
  ASSERT_EQ(vexaOpenRead(Write(BuildSampleFile()).c_str(), &h), VEXA_OK);
  EXPECT_EQ(vexaSetVarName(h, "new", 0), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarLabel(h, "id", "x"), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarPrintFormat(h, "id", 5, 0, 8), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarWriteFormat(h, "id", 5, 0, 8), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarMeasureLevel(h, "id", 1), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarAlignment(h, "id", 1), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarColumnWidth(h, "id", 1), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarRole(h, "id", 1), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetCaseWeightVar(h, "id"), VEXA_E_OPENED_FOR_READ);
  vexaCloseRead(h);
}

TEST_F(OpenReadFileTest, TableFullGivesTooManyFiles) {
  std::string path = Write(BuildSampleFile());
  int handles[VEXA_MAX_FILES];
  for (int i = 0; i < VEXA_MAX_FILES; ++i) {
    ASSERT_EQ(vexaOpenRead(path.c_str(), &handles[i]), VEXA_OK);
  }
  int h = 0;
  EXPECT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_E_TOO_MANY_FILES);
  EXPECT_EQ(h, -1);
  for (int handle : handles) vexaCloseRead(handle);
  ExpectNoHandleOccupied();
}

TEST_F(OpenReadFileTest, PasswordsAndEncryptedFiles) {
  // A password given for a plain file is ignored.
  int h = -1;
  EXPECT_EQ(vexaOpenReadEx(Write(BuildSampleFile()).c_str(), "secret", &h),
            VEXA_OK);
  vexaCloseRead(h);

  std::string encrypted = std::string("12345678") + "ENCRYPTEDSAV" +
                          std::string(100, '\x5A');
  std::string path = Write(encrypted);
  EXPECT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_E_NO_PASSWORD);
  EXPECT_EQ(h, -1);
  EXPECT_EQ(vexaOpenReadEx(path.c_str(), "", &h), VEXA_E_NO_PASSWORD);
  EXPECT_EQ(vexaOpenReadU8Ex(path.c_str(), "wrong", &h), VEXA_E_BAD_PASSWORD);
  EXPECT_EQ(h, -1);
  ExpectNoHandleOccupied();
}

TEST_F(OpenReadFileTest, DictionaryWithoutVariablesCannotBeRead) {
  std::string file = SysFileBuilder().Header().End().Bytes();
  int h = 3;
  EXPECT_EQ(vexaOpenRead(Write(file).c_str(), &h), VEXA_E_NO_MEMORY);
  EXPECT_EQ(h, -1);
  ExpectNoHandleOccupied();
}

TEST_F(OpenReadFileTest, NamesEqualWithoutCaseAreRepairedNotRefused) {
  std::string file = SysFileBuilder()
                         .Header()
                         .NumericVar("AGE")
                         .NumericVar("age")
                         .End()
                         .Bytes();
  int h = -1;
  ASSERT_EQ(vexaOpenRead(Write(file).c_str(), &h), VEXA_OK);
  char name[VEXA_NAME_BUFFER];
  int type;
  EXPECT_EQ(vexaGetVarInfo(h, 0, name, &type), VEXA_OK);
  EXPECT_STREQ(name, "age");
  EXPECT_EQ(vexaGetVarInfo(h, 1, name, &type), VEXA_OK);
  EXPECT_STREQ(name, "v1");
  vexaCloseRead(h);
}

// A file cut at any byte either opens (the cut fell in the case data) or
// fails with VEXA_E_FILE_OPEN; either way no handle stays occupied.
TEST_F(OpenReadFileTest, TruncatedFilesFailCleanlyThroughTheApi) {
  std::string file = BuildSampleFile();
  std::string path = dir_.File("cut.vexa");
  int opened = 0;
  for (size_t cut = 0; cut < file.size(); ++cut) {
    dir_.Write("cut.vexa", file.substr(0, cut));
    int h = 0;
    int code = vexaOpenRead(path.c_str(), &h);
    if (code == VEXA_OK) {
      ++opened;
      vexaCloseRead(h);
    } else {
      ASSERT_EQ(code, VEXA_E_FILE_OPEN) << "cut at " << cut;
      ASSERT_EQ(h, -1);
    }
  }
  // Only cuts inside the case data open.
  EXPECT_GT(opened, 0);
  EXPECT_LT(opened, 8 * kSampleSlots * kSampleCases + 1);
  ExpectNoHandleOccupied();
}

}  // namespace
}  // namespace vexa::testing
