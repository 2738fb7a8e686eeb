// File facts through the C API: the creation time stamp, the product text
// and the release numbers as the header and the machine record hold them;
// the file label, documents (copied, read and set) and the text
// information; raw extension
// records, which subtypes a caller may touch and their delivery in pieces.
#include <cstdlib>
#include <functional>
#include <string>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

class FileRecordsTest : public WriteHandleTest {
 protected:
  // Opens a file of one variable with the given header and records: the
  // machine record of release 23.1.4, documents, and the subtypes 30 (six
  // 1-byte elements), 12 (three of 4 bytes) and 10 (text information).
  int Open(const HeaderFields& fields, bool machine_record, bool documents = false,
           bool extensions = false) {
    SysFileBuilder b;
    b.Header(fields).NumericVar("x");
    if (documents) b.Document({"line one", "line two"});
    if (machine_record) b.MachineInts({23, 1, 4, 720, 1, 1, 2, 2});
    if (extensions) {
      b.Extension(30, 1, 6, "abcdef").Extension(12, 4, 3, "AAAABBBBCCCC")
          .Extension(10, 1, 9, "made here");
    }
    path_ = dir_.Write("built" + std::to_string(n_++) + ".vexa", b.End().Bytes());
    int h = -1;
    EXPECT_EQ(vexaOpenRead(path_.c_str(), &h), VEXA_OK);
    return h;
  }
  // Commits a write handle with one variable and closes it (the file is
  // in place from the close on); returns the file's bytes.
  std::string Commit(int h, const std::string& name = "new.vexa",
                     std::function<int()> before_close = [] { return VEXA_OK; }) {
    EXPECT_EQ(Each({vexaSetVarName(h, "x", 0), vexaCommitHeader(h), before_close(),
                    vexaCloseWrite(h)}), VEXA_OK);
    if (h == handle_) handle_ = -1;
    return ReadFile(dir_.File(name));
  }

  std::string path_;
  int n_ = 0;
};

TEST_F(FileRecordsTest, HeaderAndMachineRecordOfEachKindOfHandle) {
  // The stamp and the product text of a header: the getter buffer test.
  int h = Open({}, true);
  RunSteps(h, {STEP(vexaGetReleaseInfo(h, o.i), VEXA_OK, " i0=23 i1=1 i2=4")});
  vexaCloseRead(h);
  // No valid date: the start of the calendar; a short product text gives
  // nothing; no machine record, no release numbers.
  h = Open({.product = "@(#) short", .date = "00 Foo 70"}, false);
  RunSteps(h, {STEP(vexaGetTimeStamp(h, o.s[0], o.s[1]), VEXA_OK, " s0=14-Oct-82 s1=00:00:00"),
               STEP(vexaGetSystemString(h, o.s[0]), VEXA_OK, " s0="),
               STEP(vexaGetReleaseInfo(h, o.i), VEXA_E_NO_RELEASE_INFO, " i0=0 i1=0 i2=0")});
  vexaCloseRead(h);
  ASSERT_EQ(vexaOpenAppend(path_.c_str(), &h), VEXA_OK);
  RunSteps(h, {STEP(vexaGetReleaseInfo(h, o.i), VEXA_E_NO_RELEASE_INFO, " i0=0 i1=0 i2=0")});
  vexaCloseAppend(h);

  // A write handle reports the stamp its header holds (its product text is
  // the golden files'), and release numbers of zero; its file label starts
  // empty.
  char date[VEXA_DATE_BUFFER], time[VEXA_TIME_BUFFER];
  RunSteps(handle_, {STEP(vexaGetReleaseInfo(h, o.i), VEXA_OK, " i0=0 i1=0 i2=0"),
                     STEP(vexaGetIdString(h, o.s[0]), VEXA_OK, " s0="),
                     STEP(vexaSetIdString(h, "first"), VEXA_OK, ""),
                     STEP(vexaSetIdString(h, nullptr), VEXA_OK, ""),
                     STEP(vexaGetIdString(h, o.s[0]), VEXA_OK, " s0=")});
  const std::string bytes =
      Commit(handle_, "new.vexa", [&] { return vexaGetTimeStamp(handle_, date, time); });
  ASSERT_GE(bytes.size(), 109u);
  std::string header_date = bytes.substr(92, 9);
  header_date[2] = header_date[6] = '-';
  EXPECT_EQ(date, header_date);
  EXPECT_EQ(time, bytes.substr(101, 8));
}

const std::string kOne = "line one" + std::string(72, ' '), kTwo = "line two" + std::string(72, ' ');

// Documents are copied, read and set as whole lines of 80 bytes; copying
// from a file without them, or setting none, clears them.
TEST_F(FileRecordsTest, DocumentsCopiedReadAndSetAsWholeLines) {
  const int with = Open({}, false, true), without = Open({}, false);
  RunSteps(with, {STEP(vexaGetDocuments(h, nullptr, 0, &o.i[0]), VEXA_OK, " i0=2")});
  // Only whole lines are copied; the rest of the buffer is not touched.
  for (const auto& [size, want] : {std::pair{159, kOne}, std::pair{160, kOne + kTwo}}) {
    std::string buffer(200, '#');
    int n = -1;
    EXPECT_EQ(vexaGetDocuments(with, buffer.data(), size, &n), VEXA_OK);
    EXPECT_EQ(buffer.substr(0, want.size() + 1), want + "#");
  }
  ASSERT_EQ(Each({vexaCopyDocuments(without, handle_), vexaCopyDocuments(with, handle_)}), 0);
  EXPECT_NE(Commit(handle_).find(kOne + kTwo), std::string::npos);
  int w = -1;
  ASSERT_EQ(Each({vexaOpenWrite(dir_.File("cleared.vexa").c_str(), &w),
                  vexaCopyDocuments(with, w), vexaCopyDocuments(without, w)}), VEXA_OK);
  RunSteps(w, {
      STEP(vexaGetDocuments(h, o.s[0], 300, &o.i[0]), VEXA_OK, " i0=0"),
      STEP(vexaSetDocuments(h, nullptr, 1), VEXA_E_BAD_EXTENSION, ""),
      STEP(vexaSetDocuments(h, kOne.c_str(), -1), VEXA_E_BAD_EXTENSION, ""),
      STEP(Each({vexaSetDocuments(h, (kTwo + kOne).c_str(), 2),
                 vexaGetDocuments(h, o.s[0], 300, &o.i[0])}),
           VEXA_OK, " s0=" + kTwo + kOne + " i0=2"),
      STEP(Each({vexaSetDocuments(h, nullptr, 0), vexaGetDocuments(h, o.s[0], 300, &o.i[0])}),
           VEXA_OK, " i0=0"),
  });
  EXPECT_EQ(Commit(w, "cleared.vexa").find("line"), std::string::npos);
  for (int h : {with, without}) vexaCloseRead(h);
}

// Every getter of a documented buffer size, given the longest value it can
// hand out, fills exactly that size with it and a NUL and leaves the bytes
// after the buffer alone; so does a string value of every short width.
const std::string kLongName(64, 'n');
#define GETTER(call, size, want)                                            \
  {#call, [](int h, char* b) {                                             \
     [[maybe_unused]] int n = 0;                                           \
     [[maybe_unused]] char x[10], y[10];                                   \
     return (call);                                                        \
   }, size, want}

TEST(GetterBufferTest, LongestValuesFillTheDocumentedSizeAndNoMore) {
  const std::string v60(60, 'v');
  const struct {
    const char* call;
    int (*get)(int h, char* buffer);
    int size;
    std::string want;
  } getters[] = {
      GETTER(vexaGetVarInfo(h, 0, b, &n), VEXA_NAME_BUFFER, kLongName),
      GETTER(vexaGetCaseWeightVar(h, b), VEXA_NAME_BUFFER, kLongName),
      GETTER(vexaGetVarCompatName(h, kLongName.c_str(), b), VEXA_COMPAT_NAME_BUFFER, "ABCDEFGH"),
      GETTER(vexaGetVarLabel(h, kLongName.c_str(), b), 121, std::string(120, 'l')),
      GETTER(vexaGetVarNValueLabel(h, kLongName.c_str(), 1, b), 61, v60),
      GETTER(vexaGetVarCValueLabel(h, "s", "AAAAAAAA", b), 61, v60),
      GETTER(vexaGetVarCMissingValues(h, "s", &n, b, x, y), 9, "AAAAAAAA"),
      GETTER(vexaGetVarCMissingValues(h, "s", &n, x, b, y), 9, "BBBBBBBB"),
      GETTER(vexaGetVarCMissingValues(h, "s", &n, x, y, b), 9, "CCCCCCCC"),
      GETTER(vexaGetValueChar(h, 2, b, 9), 9, "ZZZZZZZZ"),
      GETTER(vexaGetIdString(h, b), VEXA_ID_STRING_BUFFER, std::string(64, 'f')),
      GETTER(vexaGetTimeStamp(h, b, x), VEXA_DATE_BUFFER, "05-Jan-70"),
      GETTER(vexaGetTimeStamp(h, x, b), VEXA_TIME_BUFFER, "13:45:10"),
      GETTER(vexaGetSystemString(h, b), 41, std::string(40, 'p')),  // from the 21st byte
      GETTER(vexaGetTextInfo(h, b), VEXA_TEXT_INFO_BUFFER, std::string(255, 't')),
      GETTER(vexaGetFileEncoding(h, b), VEXA_ENCODING_BUFFER, std::string(63, 'e')),
      GETTER(vexaGetKVTGUID(h, b), 257, std::string(256, 'g')),
  };
  const std::string eights[] = {"AAAAAAAA", "BBBBBBBB", "CCCCCCCC"}, long_label(200, 'l'),
                    v200(200, 'v');
  SysFileBuilder b;
  b.Header({.product = "@(#) 0123456789abcde" + std::string(40, 'p'), .weight_index = 1,
            .label = std::string(64, 'f')})
      .NumericVar("ABCDEFGH", {.label = long_label})
      .StringVar("S", 8, {.missing_code = 3, .missing_text = {eights, eights + 3}});
  const std::string letters = "abcdefghijk";
  for (int width = 1; width <= 11; ++width) b.StringVar("w" + std::to_string(width), width);
  b.NumericLabels({{1, v200}}, {1}).StringLabels({{eights[0], v200}}, {2})
      .Extension(10, std::string(300, 't')).Extension(12, std::string(300, 'g'))
      .Extension(13, "ABCDEFGH=" + kLongName).Extension(20, std::string(100, 'e'));
  b.End().CaseNumber(1).CaseText("ZZZZZZZZ", 8);
  for (int width = 1; width <= 11; ++width) b.CaseText(letters.substr(0, width), width);
  TempDir dir;
  const int h = OpenBuilt(dir, b.Bytes());
  ASSERT_EQ(vexaReadCaseRecord(h), VEXA_OK);
  for (const auto& g : getters) {
    std::string buffer(300, '#');
    EXPECT_EQ(g.get(h, buffer.data()), VEXA_OK) << g.call;
    EXPECT_EQ(buffer.substr(0, g.size + 8), g.want + '\0' + std::string(8, '#')) << g.call;
  }
  for (int width = 1; width <= 11; ++width) {
    std::string buffer(20, '#');
    EXPECT_EQ(vexaGetValueChar(h, width + 2, buffer.data(), width + 1), VEXA_OK) << width;
    EXPECT_EQ(buffer, letters.substr(0, width) + '\0' + std::string(19 - width, '#')) << width;
  }
  vexaCloseRead(h);
}

TEST(TempDirTest, SetsTheEnvironmentVariable) {
  const ScopedEnv keep("VEXATMPDIR");  // the folder does not exist
  EXPECT_EQ(vexaSetTempDir("/some/where"), VEXA_OK);
  EXPECT_STREQ(getenv("VEXATMPDIR"), "/some/where");
}

// Pieces of whole elements that fit the room given (s0 holds what came over
// the junk), starting again after the last.
#define PIECE(subtype, room) vexaGetExtensionData(h, subtype, room, &o.i[0], o.s[0])

TEST_F(FileRecordsTest, RecordsOfAFileReadComeInWholeElements) {
  const int h = Open({}, true, false, true);
  for (int subtype : {0, 3, 4, 5, 6, 7, 9, 11, 13, 14, 16, 17, 18, 19, 20, 21, 22, 41, -1, 99}) {
    Out o;  // subtypes the library writes itself, or none at all
    EXPECT_EQ(vexaSetExtensionData(handle_, subtype, 1, 2, "ab"), VEXA_E_BAD_EXTENSION);
    EXPECT_EQ(vexaGetExtensionDataDesc(h, subtype, &o.i[0], &o.i[1]), VEXA_E_BAD_EXTENSION);
    EXPECT_EQ(vexaGetExtensionData(h, subtype, 8, &o.i[2], o.s[0]), VEXA_E_BAD_EXTENSION);
    EXPECT_EQ(o.Changed(), " i0=0 i1=0 i2=0") << subtype;
  }
  for (int subtype : {1, 2, 8, 10, 12, 15, 23, 40})
    EXPECT_EQ(vexaSetExtensionData(handle_, subtype, 1, 2, "ab"), VEXA_OK) << subtype;
  RunSteps(h, {
      STEP(Each({vexaQueryType7(h, 30, &o.i[0]), vexaQueryType7(h, 12, &o.i[1]),
                 vexaQueryType7(h, 3, &o.i[2])}),
           VEXA_OK, " i0=1 i1=1 i2=1"),
      STEP(Each({vexaQueryType7(h, 31, &o.i[0]), vexaQueryType7(h, 0, &o.i[1]),
                 vexaQueryType7(h, 40, &o.i[2])}),
           VEXA_OK, " i0=0 i1=0 i2=0"),
      STEP(vexaQueryType7(h, 41, &o.i[0]), VEXA_E_BAD_SUBTYPE, " i0=0"),
      STEP(vexaQueryType7(h, -1, &o.i[0]), VEXA_E_BAD_SUBTYPE, " i0=0"),
      STEP(vexaGetExtensionDataDesc(h, 12, &o.i[0], &o.i[1]), VEXA_OK, " i0=4 i1=3"),
      STEP(vexaGetExtensionDataDesc(h, 31, &o.i[0], &o.i[1]), VEXA_OK, " i0=0 i1=0"),
      STEP(PIECE(30, 4), VEXA_OK, " s0=abcd i0=4"),
      STEP(PIECE(30, 4), VEXA_OK, " s0=efnk i0=2"),
      STEP(PIECE(30, 4), VEXA_OK, " s0=abcd i0=4"),  // starts again
      STEP(PIECE(12, 7), VEXA_OK, " s0=AAAA i0=1"),  // the other subtype has its own reader
      STEP(PIECE(12, 3), VEXA_OK, " i0=0"),          // no whole element fits
      STEP(PIECE(12, 64), VEXA_OK, " s0=BBBBCCCC i0=2"),
      STEP(PIECE(30, 64), VEXA_OK, " s0=efnk i0=2"),
      STEP(PIECE(31, 64), VEXA_OK, " i0=0"),
      // Replacing a record drops the delivery under way.
      STEP(PIECE(30, 2), VEXA_OK, " s0=abnk i0=2"),
      STEP(vexaSetExtensionData(h, 30, 1, 3, "xyz"), VEXA_OK, ""),
      STEP(PIECE(30, 64), VEXA_OK, " s0=xyzk i0=3"),
      // The text information is read from its start, for up to 255 bytes.
      STEP(vexaGetTextInfo(h, o.s[0]), VEXA_OK, " s0=made here"),
      STEP(vexaSetTextInfo(h, std::string(300, 't').c_str()), VEXA_OK, ""),
      STEP(vexaGetTextInfo(h, o.s[0]), VEXA_OK, " s0=" + std::string(255, 't')),
      STEP(vexaSetTextInfo(h, ""), VEXA_OK, ""),
      STEP(vexaGetTextInfo(h, o.s[0]), VEXA_OK, " s0="),
  });
  vexaCloseRead(h);
  // A write handle delivers what it holds but says it is not a file read. A
  // record needs elements of at least one byte, and no negative count.
  RunSteps(handle_, {STEP(vexaSetExtensionData(h, 30, 1, 3, "xyz"), VEXA_OK, ""),
                     STEP(PIECE(30, 2), VEXA_E_OPENED_FOR_WRITE, " s0=xynk i0=2"),
                     STEP(vexaSetExtensionData(h, 30, 0, 1, "z"), VEXA_E_BAD_EXTENSION, ""),
                     STEP(vexaSetExtensionData(h, 30, 1, -1, "z"), VEXA_E_BAD_EXTENSION, ""),
                     STEP(vexaSetExtensionData(h, 30, 1, 0, "z"), VEXA_OK, "")});
}

// Files written elsewhere: a count record of one unit, short names that the
// file records. Appending keeps both as the file has them: the count is
// patched into the one unit, never past the record, and the short names
// read from the file stay what an append handle reports.
#define SHORT_NAMES \
  Each({vexaGetVarCompatName(h, "abc", o.s[0]), vexaGetVarCompatName(h, "longname", o.s[1])})

TEST(AppendTest, KeepsTheFilesOwnCountRecordAndShortNames) {
  TempDir dir;
  const std::string path = dir.Write(
      "one_unit.vexa", SysFileBuilder().Header().NumericVar("abc").NumericVar("LNGNAMEX")
                           .Extension(13, 1, 17, "LNGNAMEX=longname")
                           .Extension(16, 8, 1, std::string("\1\0\0\0\0\0\0\0", 8))
                           .Extension(30, 1, 2, "zz").End().CaseNumber(1).CaseNumber(2).Bytes());
  int h = -1;
  ASSERT_EQ(vexaOpenAppend(path.c_str(), &h), VEXA_OK);
  RunSteps(h, {STEP(SHORT_NAMES, VEXA_OK, " s0=abc s1=LNGNAMEX"),
               STEP(Each({vexaSetValueNumeric(h, 1, 3), vexaCommitCaseRecord(h)}), VEXA_OK, ""),
               STEP(SHORT_NAMES, VEXA_OK, " s0=abc s1=LNGNAMEX"),
               STEP(vexaCloseAppend(h), VEXA_OK, "")});
  ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
  RunSteps(h, {STEP(vexaGetNumberofCases(h, &o.i[0]), VEXA_OK, " i0=2"),
               STEP(vexaQueryType7(h, 30, &o.i[0]), VEXA_OK, " i0=1")});
  vexaCloseRead(h);
}

}  // namespace
}  // namespace vexa::testing
