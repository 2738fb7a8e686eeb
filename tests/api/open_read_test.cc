// Opening files for reading through the C API: what a good file shows, and
// the code each kind of bad file gets, with no handle left occupied.
#include <filesystem>
#include <string>
#include <vector>

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
  const int codes[] = {
      vexaSetVarName(h, "new", 0),           vexaSetVarLabel(h, "id", "x"),
      vexaSetVarPrintFormat(h, "id", 5, 0, 8),
      vexaSetVarWriteFormat(h, "id", 5, 0, 8),
      vexaSetVarMeasureLevel(h, "id", 1),    vexaSetVarAlignment(h, "id", 1),
      vexaSetVarColumnWidth(h, "id", 1),     vexaSetVarRole(h, "id", 1),
      vexaSetCaseWeightVar(h, "id")};
  for (size_t i = 0; i < std::size(codes); ++i) {
    EXPECT_EQ(codes[i], VEXA_E_OPENED_FOR_READ) << "call " << i;
  }
  vexaCloseRead(h);
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

int OpenDescriptors() {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
}

// Bad files get their code from every open call, the same with a password
// as without (a plain file drops it), and leave neither a slot nor a
// descriptor behind: some fail while the dictionary is read, some only
// once the slot is taken (the case iterator cannot be set up).
TEST_F(OpenReadFileTest, BadFilesFailWithTheirCodeAndLeaveNoHandle) {
  const std::string sample = BuildSampleFile();
  const std::pair<std::string, int> files[] = {
      {sample.substr(0, 100), VEXA_E_FILE_OPEN},
      {SysFileBuilder().Header().NumericVar("a").Int32(5).End().Bytes(),
       VEXA_E_FILE_OPEN},
      {SysFileBuilder().Header().End().Bytes(), VEXA_E_NO_MEMORY},
      {SysFileBuilder().Header({.magic = "$FL3", .compression = 2})
           .NumericVar("a").End().Bytes(),
       VEXA_E_NO_MEMORY},
      {SysFileBuilder().Header().NumericVar("a").MachineInts().NumericVar("b")
           .End().Bytes(),
       VEXA_E_NO_MEMORY}};
  const int descriptors = OpenDescriptors();
  for (const auto& [bytes, code] : files) {
    const std::string path = Write(bytes);
    const std::string copy = dir_.File("copy.vexa");
    SCOPED_TRACE(path);
    for (int round = 0; round < 200; ++round) {
      int h = 3;
      ASSERT_EQ(vexaOpenRead(path.c_str(), &h), code);
      ASSERT_EQ(h, -1);
      ASSERT_EQ(vexaOpenReadEx(path.c_str(), "secret", &h), code);
      ASSERT_EQ(h, -1);
      // The copy opens take the dictionary through a read handle.
      ASSERT_EQ(vexaOpenWriteCopy(copy.c_str(), path.c_str(), &h), code);
      ASSERT_EQ(h, -1);
      // Appending reads no case until the first one is written.
      const int append = vexaOpenAppendEx(path.c_str(), "secret", &h);
      if (append == VEXA_OK) {
        vexaCloseAppend(h);
      } else {
        ASSERT_EQ(h, -1);
        ASSERT_EQ(vexaOpenAppend(path.c_str(), &h), append);
      }
    }
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(vexaCloseRead(5), VEXA_E_BAD_HANDLE);
  ExpectNoHandleOccupied();
}

std::string LastErrorDetail(int length = 512) {
  std::string buffer(static_cast<size_t>(length), '?');
  EXPECT_EQ(vexaGetLastErrorDetail(buffer.data(), length), VEXA_OK);
  return buffer.c_str();
}

// The detail of a failed open says where the damage is and what it is; a
// call that succeeds empties it. Variable a takes bytes 176 to 207.
TEST_F(OpenReadFileTest, TheDetailNamesThePlaceOfTheDamage) {
  auto a = [] { return SysFileBuilder().Header().NumericVar("a"); };
  const std::pair<std::string, std::string> files[] = {
      {BuildSampleFile().substr(0, 100),
       "file header: the header ends after 100 of its 176 bytes"},
      {a().Int32(5).End().Bytes(),
       "dictionary at offset 208: record type 5 is not known"},
      {a().Int32(3).Int32(0x7FFFFFFF).Raw(std::string(16, '\0')).End().Bytes(),
       "value label record at offset 208: the file ends inside label 2 of "
       "2,147,483,647"},
      {a().Extension(13, 1, 7, "Gr\u00F6\u00DFe").End().Bytes(),
       "extension record 13 (long variable names) at offset 208: the entry "
       "\"Gr\u00F6\u00DFe\" at byte 0 has no \"=\""}};
  for (const auto& [bytes, detail] : files) {
    int h = -1;
    EXPECT_EQ(vexaOpenRead(Write(bytes).c_str(), &h), VEXA_E_FILE_OPEN);
    EXPECT_EQ(LastErrorDetail(), detail);
  }
  // Cut inside the two bytes of the o with diaeresis: the whole character goes.
  const size_t o = files[3].second.find("\u00F6");
  EXPECT_EQ(LastErrorDetail(static_cast<int>(o) + 2),
            files[3].second.substr(0, o));
  int h = -1;
  ASSERT_EQ(vexaOpenRead(Write(BuildSampleFile()).c_str(), &h), VEXA_OK);
  EXPECT_EQ(LastErrorDetail(), "");
  vexaCloseRead(h);
}

// Invalid names and names equal without case are repaired, not refused.
TEST_F(OpenReadFileTest, NamesAreRepairedAndLowerCased) {
  std::string file = SysFileBuilder()
                         .Header()
                         .NumericVar("AGE")
                         .NumericVar("age")
                         .NumericVar("_x")
                         .NumericVar("V2")
                         .StringVar("Income", 8)
                         .End()
                         .Bytes();
  int h = -1;
  ASSERT_EQ(vexaOpenRead(Write(file).c_str(), &h), VEXA_OK);
  int count = 0;
  char** names = nullptr;
  int* types = nullptr;
  ASSERT_EQ(vexaGetVarNames(h, &count, &names, &types), VEXA_OK);
  const std::vector<std::string> got(names, names + count);
  EXPECT_EQ(got, (std::vector<std::string>{"age", "v1", "v3", "v2", "income"}));
  EXPECT_EQ(types[4], 8);
  EXPECT_EQ(vexaFreeVarNames(names, types, count), VEXA_OK);
  vexaCloseRead(h);
}

}  // namespace
}  // namespace vexa::testing
