// Files whose encoding is damaged or unusual, read in both interface modes:
// every text arrives converted and widths follow; sets follow variables that
// conversion cuts. The code page set by the library's call and by a real
// single-byte locale, and when either may change.
#include <clocale>
#include <string>
#include <tuple>
#include <vector>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"
#include "support/warnings.h"

namespace vexa::testing {
namespace {

#define EXPECT_OK(call) EXPECT_EQ((call), VEXA_OK) << #call

// What a read handle shows of a variable and its file.
struct Seen {
  std::string name, label, value, encoding;
  int width = -1, code_page = -1, compatible = -1;
  bool operator==(const Seen&) const = default;
};
void PrintTo(const Seen& s, std::ostream* os) {
  *os << ::testing::PrintToString(std::tie(s.name, s.label, s.value, s.encoding,
                                           s.width, s.code_page, s.compatible));
}

// The value is the current case's, without trailing blanks.
Seen Look(int h, int index) {
  Seen s;
  char name[VEXA_NAME_BUFFER], text[400] = "", encoding[VEXA_ENCODING_BUFFER];
  EXPECT_OK(vexaGetVarInfo(h, index, name, &s.width));
  s.name = name;
  int length = 0;
  if (vexaGetVarLabelLong(h, name, text, sizeof text, &length) == VEXA_OK) s.label = text;
  std::vector<char> value(static_cast<size_t>(s.width) + 1);
  if (s.width > 0 && vexaGetValueChar(h, index + 1.0, value.data(), s.width + 1) == VEXA_OK) {
    s.value.assign(value.data(), static_cast<size_t>(s.width));
    s.value.erase(s.value.find_last_not_of(' ') + 1);
  }
  EXPECT_OK(vexaGetFileEncoding(h, encoding));
  s.encoding = encoding;
  vexaGetFileCodePage(h, &s.code_page);
  EXPECT_OK(vexaIsCompatibleEncoding(h, &s.compatible));
  return s;
}

struct EncodingTest : ::testing::Test { TempDir dir_; };

// A windows-1252 file written with the code page made current by the
// library's call; read in UTF-8 mode its short names are converted too,
// one that fills the caller's buffer whole.
// (Every other text of such a file, read in both modes, is the combination
// test's.)
TEST_F(EncodingTest, ModesCodePagesAndLocalesChangeOnlyWhileNoFileIsOpen) {
  EncodingSettings settings;
  settings.Use(0, "windows-1252");
  const std::string path = dir_.File("call.vexa");
  int h = -1;
  char short_name[VEXA_COMPAT_NAME_BUFFER] = "";
  ASSERT_EQ(Each({vexaOpenWrite(path.c_str(), &h), vexaSetVarName(h, "abcde\xE9" "f", 0),
                  vexaCommitHeader(h), vexaCloseWrite(h)}), VEXA_OK);
  settings.Use(1);
  ASSERT_EQ(Each({vexaOpenRead(path.c_str(), &h),
                  vexaGetVarCompatName(h, "ABCDE\xC3\x89" "F", short_name)}), VEXA_OK);
  EXPECT_STREQ(short_name, "ABCDE\xC3\x89" "F");
  // While a file is open, the mode and the code page stay.
  EXPECT_EQ(vexaSetInterfaceEncoding(0), VEXA_E_FILES_OPEN);
  EXPECT_EQ(vexaSetCodePage("UTF-8"), VEXA_E_FILES_OPEN);
  EXPECT_EQ(vexaGetInterfaceEncoding(), 1);
  EXPECT_OK(vexaCloseRead(h));
  EXPECT_EQ(vexaSetInterfaceEncoding(2), VEXA_E_BAD_ENCODING_MODE);
  EXPECT_EQ(vexaSetCodePage("no-such-encoding"), VEXA_E_BAD_ENCODING_MODE);

  // A real single-byte locale moves the code page; while a file is open
  // the locale stays.
  VEXA_REQUIRE_LOCALE(locale, "CP1252");
  ASSERT_STREQ(vexaSetLocale(LC_ALL, locale.c_str()), locale.c_str());
  ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
  EXPECT_STREQ(vexaSetLocale(LC_ALL, "C.UTF-8"), locale.c_str());
  EXPECT_OK(vexaCloseRead(h));
  EXPECT_EQ(vexaSetLocale(LC_ALL, "xx_NOWHERE.CP1252"), nullptr);
}

// --- Sets over names that conversion cuts ---

// In UTF-8 mode 64 bytes of e-acute in windows-1252 take 128 and are cut to
// 64, as is the set's name, and its label of 399 bytes by the getter. The
// sets follow their variables, and a copy writes what was seen, its file
// label cut to 64 bytes on a character. The setters cut a set's name and
// label on characters too. (Such files of the other byte order: the
// combination test.)
TEST_F(EncodingTest, SetsFollowVariablesThatConversionRenamesAndAreCutOnCharacters) {
  EncodingSettings settings;
  settings.Use(1);
  const std::string e = "\xE9", u = "\xC3\xA9", label = "a" + Repeat(u, 40);
  const std::string seen = "0:Set= " + Repeat(u, 32) + " z\n|0:$" + Repeat(u, 31) + "=C 399 a" +
                           Repeat(u, 199) + " " + Repeat(u, 32) + " z\n|$" + Repeat(u, 31) + "|a" +
                           Repeat(u, 127);
  VEXA_MultRespDef* def = nullptr;
  int h = -1;
  SysFileBuilder f;
  f.Header().NumericVar("E1").NumericVar("Z");
  f.MachineInts({24, 0, 0, 720, 1, 1, 2, 1252});
  f.Extension(20, "windows-1252").Extension(5, "Set= E1 Z\n");
  f.Extension(7, "$" + Repeat(e, 63) + "=C 200 a" + Repeat(e, 199) + " E1 Z\n");
  f.Extension(13, "E1=" + Repeat(e, 64) + "\tZ=z");
  const std::string path = dir_.Write("sets.vexa", f.End().Bytes()), copy = dir_.File("c.vexa");
  ASSERT_EQ(Each({vexaOpenWriteCopy(copy.c_str(), path.c_str(), &h),
                  vexaSetIdString(h, label.c_str()), vexaCommitHeader(h), vexaCloseWrite(h)}),
            VEXA_OK);
  for (const std::string& file : {path, copy}) {
    char id[100] = "";
    ASSERT_EQ(Each({vexaOpenRead(file.c_str(), &h), vexaGetMultRespDefByIndex(h, 0, &def),
                    vexaGetIdString(h, id)}), VEXA_OK);
    EXPECT_EQ(VarSets(h) + "|" + Defs(h) + "|" + def->name + "|" + def->label, seen) << file;
    EXPECT_EQ(id, file == copy ? label.substr(0, 63) : "");
    EXPECT_OK(Each({vexaFreeMultRespDefStruct(def), vexaCloseRead(h)}));
  }
  const char* vars[] = {"a"};
  ASSERT_EQ(Each({vexaOpenWrite(dir_.File("cut.vexa").c_str(), &h), vexaSetVarName(h, "a", 0),
                  vexaAddMultRespDefC(h, ("$" + Repeat(u, 40)).c_str(),
                                      ("a" + Repeat(u, 150)).c_str(), 0, nullptr, vars, 1),
                  vexaGetMultRespDefByIndex(h, 0, &def)}), VEXA_OK);
  EXPECT_EQ(def->name + ("|" + std::string(def->label)),
            "$" + Repeat(u, 31) + "|a" + Repeat(u, 127));
  EXPECT_OK(Each({vexaFreeMultRespDefStruct(def), vexaCloseWrite(h)}));
}

// --- Damaged or unusual encodings: every file opens and reads ---

struct BadInput {
  const char* what;
  std::string record;  // the encoding record's bytes; none when empty
  int32_t character_code;
  std::string name, label, value;  // the file's bytes for its one variable
  Seen utf8, code_page;            // as seen in UTF-8 mode and in windows-1252
  const char* utf8_warnings;
  const char* code_page_warnings;
};

// A file in windows-1252 however it says so: é t é, the euro sign, é.
BadInput Latin(const char* what, std::string record, int32_t character_code) {
  return {what, std::move(record), character_code, "\xE9t\xE9", "\x80", "\xE9",
          {"\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", "\xC3\xA9", "windows-1252", 24, 1252, 0},
          {"\xE9t\xE9", "\x80", "\xE9", "windows-1252", 8, 1252, 1}, "", ""};
}

// The same file whose encoding record names an encoding no converter
// knows: that name is the file's encoding, of no code page, and the texts
// arrive as they are (in UTF-8 mode the name is no valid name and the label
// loses what is no UTF-8).
BadInput Unknown(const char* what, std::string record, int32_t character_code) {
  const std::string name = record.substr(0, record.find('\0'));
  return {what, std::move(record), character_code, "\xE9t\xE9", "\x80", "\xE9",
          {"v1", "", "\xE9", name, 8, 0, 0}, {"\xE9t\xE9", "\x80", "\xE9", name, 8, 0, 0},
          "", ""};
}

const BadInput kBadInputs[] = {
    Latin("record over character code", "windows-1252", 65001),
    Unknown("record names an unknown encoding", "x-no-such-encoding", 1252),
    Latin("negative character code", "", -1252),
    Unknown("record of binary junk", std::string("\x01\xFF\0junk", 8), 2),
    {"invalid UTF-8 in every text", "UTF-8", 65001, "a\xFF", "\xC3", "\xE2\x82",
     {"v1", "", "\xE2\x82", "UTF-8", 8, 65001, 1},  // labels are copied in whole characters
     {"v1", "?", "?", "UTF-8", 8, 65001, 0}, "", "1711 windows-1252;"},
    {"invalid Shift_JIS in every text", "Shift_JIS", 932, "a\x82", "\x82\xFF", "\x82",
     {"v1", "??", "?", "Shift_JIS", 24, 932, 0},
     {"a\x82", "\x82\xFF", "\x82", "Shift_JIS", 8, 932, 0}, "1701 Shift_JIS;",
     "1721 Shift_JIS;"},
};

std::string BadInputFile(const BadInput& b, bool big_endian) {
  SysFileBuilder f(big_endian);
  f.Header().StringVar(b.name, 8, {.label = b.label});
  f.MachineInts({24, 0, 0, 720, 1, 1, big_endian ? 1 : 2, b.character_code});
  if (!b.record.empty()) f.Extension(20, 1, static_cast<int32_t>(b.record.size()), b.record);
  return f.End().CaseText(b.value, 8).Bytes();
}

TEST_F(EncodingTest, DamagedEncodingsOpenAndReadInBothModes) {
  EncodingSettings settings;
  for (bool big_endian : {false, true}) {
    for (const BadInput& b : kBadInputs) {
      const std::string path = dir_.Write("bad.vexa", BadInputFile(b, big_endian));
      for (int mode : {1, 0}) {
        settings.Use(mode, "windows-1252");
        const std::string where = std::string(b.what) + (mode ? ", UTF-8 mode" : ", code-page mode") +
                                  (big_endian ? ", big-endian" : "");
        Warnings warnings;
        int h = -1;
        ASSERT_EQ(Each({vexaOpenRead(path.c_str(), &h), vexaReadCaseRecord(h)}), VEXA_OK) << where;
        Seen want = mode ? b.utf8 : b.code_page;
        if (big_endian) want.compatible = 0;
        EXPECT_EQ(Look(h, 0), want) << where;
        EXPECT_EQ(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA) << where;
        EXPECT_EQ(warnings.got, mode ? b.utf8_warnings : b.code_page_warnings) << where;
        EXPECT_OK(vexaCloseRead(h));
      }
    }
    // An encoding record of units other than bytes is a damaged file.
    const std::string units = SysFileBuilder(big_endian).Header().NumericVar("a")
        .Extension(20, 4, 2, std::string("UTF-8\0\0\0", 8)).End().Bytes();
    int h = -1;
    EXPECT_EQ(vexaOpenRead(dir_.Write("units.vexa", units).c_str(), &h), VEXA_E_FILE_OPEN);
  }
}

}  // namespace
}  // namespace vexa::testing
