// Opening files through the C API: the code of every kind of open that
// fails, with no handle, descriptor or new file left behind; bad files
// refused by every open call; names repaired on reading.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sample_file.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

class OpenTest : public ::testing::Test {
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

// Paths for the open calls of the table below.
std::string plain, encrypted, big_endian, absent, out, no_dir;

// Every open writes the handle, or -1 for a failure, to i0. A file is made
// only at the header commit, so a write handle closed before it leaves none.
TEST_F(OpenTest, EachOpenGivesItsCodeAndAFailureLeavesNoHandleOrFile) {
  plain = Write(BuildSampleFile());
  encrypted = Write(std::string("12345678") + "ENCRYPTEDSAV" + std::string(100, '\x5A'));
  big_endian = Write(SysFileBuilder(/*big_endian=*/true).Header().NumericVar("a").End()
                         .CaseNumber(1).Bytes());
  absent = dir_.File("absent.vexa"), out = dir_.File("out.vexa"), no_dir = dir_.File("no/dir.vexa");
  RunSteps(-1, {
      STEP(vexaOpenRead(absent.c_str(), &o.i[0]), VEXA_E_FILE_OPEN, " i0=-1"),
      STEP(vexaOpenReadU8Ex(absent.c_str(), "pw", &o.i[0]), VEXA_E_FILE_OPEN, " i0=-1"),
      // A password given for a plain file is ignored.
      STEP(vexaOpenReadEx(plain.c_str(), "secret", &o.i[0]), VEXA_OK, " i0=0"),
      STEP(vexaCloseRead(0), VEXA_OK, ""),
      STEP(vexaOpenRead(encrypted.c_str(), &o.i[0]), VEXA_E_NO_PASSWORD, " i0=-1"),
      STEP(vexaOpenReadEx(encrypted.c_str(), "", &o.i[0]), VEXA_E_NO_PASSWORD, " i0=-1"),
      STEP(vexaOpenReadU8Ex(encrypted.c_str(), "wrong", &o.i[0]), VEXA_E_BAD_PASSWORD, " i0=-1"),
      STEP(vexaOpenWrite(no_dir.c_str(), &o.i[0]), VEXA_E_FILE_OPEN, " i0=-1"),
      STEP(vexaOpenWriteEx(out.c_str(), "12345678901", &o.i[0]), VEXA_E_BAD_PASSWORD, " i0=-1"),
      STEP(vexaOpenWriteEx(out.c_str(), "", &o.i[0]), VEXA_E_NO_PASSWORD, " i0=-1"),
      STEP(Each({vexaOpenWriteEx(out.c_str(), "1", &o.i[0]), vexaCloseWrite(0)}), VEXA_OK, " i0=0"),
      STEP(vexaOpenWriteU8Ex(out.c_str(), nullptr, &o.i[0]), VEXA_E_NO_PASSWORD, " i0=-1"),
      STEP(vexaOpenWriteCopyEx(out.c_str(), nullptr, absent.c_str(), nullptr, &o.i[0]),
           VEXA_E_NO_PASSWORD, " i0=-1"),
      STEP(vexaOpenWriteCopy(out.c_str(), absent.c_str(), &o.i[0]), VEXA_E_FILE_OPEN, " i0=-1"),
      STEP(vexaOpenAppend(big_endian.c_str(), &o.i[0]), VEXA_E_CANNOT_APPEND, " i0=-1"),
      STEP(vexaOpenAppend(absent.c_str(), &o.i[0]), VEXA_E_FILE_OPEN, " i0=-1"),
      STEP(vexaOpenWrite(out.c_str(), &o.i[0]), VEXA_OK, " i0=0"),
      STEP(::access(out.c_str(), F_OK), -1, ""),  // no file yet
      // Null outputs give the fallback code instead of a fault.
      STEP(vexaGetNumberofVariables(0, nullptr), VEXA_E_BAD_HANDLE, ""),
      STEP(vexaOpenWrite(out.c_str(), nullptr), VEXA_E_FILE_OPEN, ""),
      STEP(vexaOpenRead(nullptr, nullptr), VEXA_E_FILE_OPEN, ""),
      STEP(Each({vexaSetVarName(0, "a", 0), vexaCloseWrite(0)}), VEXA_OK, ""),
  });
  EXPECT_NE(::access(out.c_str(), F_OK), 0);
  ExpectNoHandleOccupied();
}

long OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

// Bad files get their code from every open call, the same with a password
// as without (a plain file drops it), and leave neither a slot nor a
// descriptor behind: some fail while the dictionary is read, some only
// once the slot is taken (the case iterator cannot be set up). The detail
// of a failed open says where the damage is and what it is (variable a
// takes bytes 176 to 207), here for two of them; a call that succeeds
// empties it.
TEST_F(OpenTest, BadFilesFailWithTheirCodeAndDetailAndLeaveNoHandle) {
  auto a = [] { return SysFileBuilder().Header().NumericVar("a"); };
  struct {
    std::string bytes;
    int code;
    const char* detail;  // none: not checked
  } const files[] = {
      {BuildSampleFile().substr(0, 100), VEXA_E_FILE_OPEN, nullptr},
      {a().Int32(5).End().Bytes(), VEXA_E_FILE_OPEN, nullptr},
      {a().Int32(3).Int32(0x7FFFFFFF).Raw(std::string(16, '\0')).End().Bytes(), VEXA_E_FILE_OPEN,
       "value label record at offset 208: the file ends inside label 2 of 2,147,483,647"},
      {a().Extension(13, 1, 7, "Gr\u00F6\u00DFe").End().Bytes(), VEXA_E_FILE_OPEN,
       "extension record 13 (long variable names) at offset 208: the entry "
       "\"Gr\u00F6\u00DFe\" at byte 0 has no \"=\""},
      {SysFileBuilder().Header().End().Bytes(), VEXA_E_NO_MEMORY, nullptr},
      {SysFileBuilder().Header({.magic = "$FL3", .compression = 2}).NumericVar("a").End().Bytes(),
       VEXA_E_FILE_OPEN, nullptr},
      {a().MachineInts().NumericVar("b").End().Bytes(), VEXA_E_FILE_OPEN, nullptr}};
  const long descriptors = OpenDescriptors();
  const std::string copy = dir_.File("copy.vexa");
  for (const auto& file : files) {
    const std::string path = Write(file.bytes);
    SCOPED_TRACE(path);
    for (int round = 0; round < 200; ++round) {
      int h = 3;
      ASSERT_EQ(vexaOpenRead(path.c_str(), &h), file.code);
      ASSERT_EQ(h, -1);
      const bool shown = round == 0 && file.detail;  // the detail, checked once
      EXPECT_EQ(shown ? LastErrorDetail() : "", shown ? file.detail : "");
      ASSERT_EQ(vexaOpenReadEx(path.c_str(), "secret", &h), file.code);
      ASSERT_EQ(h, -1);
      // The copy opens take the dictionary through a read handle.
      ASSERT_EQ(vexaOpenWriteCopy(copy.c_str(), path.c_str(), &h), file.code);
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
  ExpectNoHandleOccupied();
  // Cut inside the two bytes of the o with diaeresis: the whole character goes.
  int h = -1;
  EXPECT_EQ(vexaOpenRead(Write(files[3].bytes).c_str(), &h), VEXA_E_FILE_OPEN);
  const std::string detail = files[3].detail;
  const size_t o = detail.find("\u00F6");
  EXPECT_EQ(LastErrorDetail(static_cast<int>(o) + 2), detail.substr(0, o));
  ASSERT_EQ(vexaOpenRead(Write(BuildSampleFile()).c_str(), &h), VEXA_OK);
  EXPECT_EQ(LastErrorDetail(), "");
  vexaCloseRead(h);
}

// Every open call with a file name (and a source's) outside ASCII: in
// code-page mode (windows-1252) the U8 calls take UTF-8 and the others the
// code page, in UTF-8 mode all take UTF-8; on disk the names are UTF-8.
// Each call reads, replaces, adds to or copies into a file made before
// under the UTF-8 name, plain or protected as its password asks.
enum Kind { kRead, kWrite, kAppend, kCopy };
const std::vector<int> kIdsAfter[] = {{1, 2}, {7}, {1, 2, 7}, {7}};
#define OPEN(call, kind, pw, protected_source) \
  {#call, [](const char* t, [[maybe_unused]] const char* s, int* h) { return call; }, \
   kind, pw, protected_source}
const struct OpenCall {
  const char* call;
  int (*open)(const char* target, const char* source, int* h);
  Kind kind;
  const char* pw;  // of the target, before or after
  bool protected_source;
} kOpenCalls[] = {
    OPEN(vexaOpenRead(t, h), kRead, nullptr, false),
    OPEN(vexaOpenReadEx(t, "pw", h), kRead, "pw", false),
    OPEN(vexaOpenReadU8(t, h), kRead, nullptr, false),
    OPEN(vexaOpenReadU8Ex(t, "pw", h), kRead, "pw", false),
    OPEN(vexaOpenWrite(t, h), kWrite, nullptr, false),
    OPEN(vexaOpenWriteU8(t, h), kWrite, nullptr, false),
    OPEN(vexaOpenWriteEx(t, "pw", h), kWrite, "pw", false),
    OPEN(vexaOpenWriteU8Ex(t, "pw", h), kWrite, "pw", false),
    OPEN(vexaOpenAppend(t, h), kAppend, nullptr, false),
    OPEN(vexaOpenAppendEx(t, "pw", h), kAppend, "pw", false),
    OPEN(vexaOpenAppendU8(t, h), kAppend, nullptr, false),
    OPEN(vexaOpenAppendU8Ex(t, "pw", h), kAppend, "pw", false),
    OPEN(vexaOpenWriteCopy(t, s, h), kCopy, nullptr, false),
    OPEN(vexaOpenWriteCopyU8(t, s, h), kCopy, nullptr, false),
    OPEN(vexaOpenWriteCopyEx(t, "pw", s, "pw", h), kCopy, "pw", true),
    OPEN(vexaOpenWriteCopyU8Ex(t, "pw", s, "pw", h), kCopy, "pw", true),
    OPEN(vexaOpenWriteCopyExFile(t, "pw", s, h), kCopy, "pw", false),
    OPEN(vexaOpenWriteCopyU8ExFile(t, "pw", s, h), kCopy, "pw", false),
    OPEN(vexaOpenWriteCopyExDict(t, s, "pw", h), kCopy, nullptr, true),
    OPEN(vexaOpenWriteCopyU8ExDict(t, s, "pw", h), kCopy, nullptr, true),
};

TEST_F(OpenTest, EveryOpenCallTakesANameOfTheCodePageOrOfUtf8) {
  EncodingSettings settings;
  const std::string plain = dir_.File("plain.vexa"), prot = dir_.File("prot.vexa");
  for (int mode : {0, 1}) {
    settings.Use(mode, mode ? "UTF-8" : "windows-1252");
    ASSERT_EQ(Each({WriteIds(plain, 1, 2), WriteIds(prot, 1, 2, 1, "pw")}), VEXA_OK);
    for (const OpenCall& c : kOpenCalls) {
      SCOPED_TRACE(std::string(c.call) + (mode ? " in UTF-8 mode" : " in code-page mode"));
      const bool cp = !mode && !std::strstr(c.call, "U8");
      const std::string t = dir_.File(cp ? "caf\xE9" : "caf\xC3\xA9"),
                        s = dir_.File(cp ? "s\xE9" : "s\xC3\xA9");
      const bool kept = c.kind == kRead || c.kind == kAppend;
      std::filesystem::copy_file(kept && c.pw ? prot : plain, dir_.File("caf\xC3\xA9"),
                                 std::filesystem::copy_options::overwrite_existing);
      std::filesystem::copy_file(c.protected_source ? prot : plain, dir_.File("s\xC3\xA9"),
                                 std::filesystem::copy_options::overwrite_existing);
      int h = -1;
      ASSERT_EQ(c.open(t.c_str(), s.c_str(), &h), VEXA_OK);
      EXPECT_EQ(Each({c.kind == kWrite ? vexaSetVarName(h, "id", 0) : VEXA_OK,
                      kept ? VEXA_OK : vexaCommitHeader(h),
                      c.kind == kRead ? VEXA_OK : AddIds(h, 7, 7), vexaCloseWrite(h)}),
                VEXA_OK);
      // Read back under the name in the mode's encoding.
      EXPECT_EQ(ReadIds(dir_.File(mode ? "caf\xC3\xA9" : "caf\xE9"), c.pw), kIdsAfter[c.kind]);
    }
  }
}

// Invalid names and names equal without case are repaired, not refused.
TEST_F(OpenTest, NamesAreRepairedAndLowerCased) {
  const int h = OpenBuilt(dir_, SysFileBuilder().Header().NumericVar("AGE").NumericVar("age")
                                    .NumericVar("_x").NumericVar("V2").StringVar("Income", 8)
                                    .End().Bytes());
  RunSteps(h, {STEP(vexaGetVarInfo(h, 0, o.s[0], &o.i[0]), VEXA_OK, " s0=age i0=0"),
               STEP(vexaGetVarInfo(h, 1, o.s[0], &o.i[0]), VEXA_OK, " s0=v1 i0=0"),
               STEP(vexaGetVarInfo(h, 2, o.s[0], &o.i[0]), VEXA_OK, " s0=v3 i0=0"),
               STEP(vexaGetVarInfo(h, 3, o.s[0], &o.i[0]), VEXA_OK, " s0=v2 i0=0"),
               STEP(vexaGetVarInfo(h, 4, o.s[0], &o.i[0]), VEXA_OK, " s0=income i0=8")});
  vexaCloseRead(h);
}

}  // namespace
}  // namespace vexa::testing
