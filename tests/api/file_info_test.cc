// File facts through the C API: the file label, the creation time stamp as
// the header holds it, the product text and the release numbers, on read,
// write, append and copy handles; documents copied, read and set; the
// interface encoding.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

class FileInfoTest : public WriteHandleTest {
 protected:
  // A file with one variable, the given header and optional records.
  std::string Built(const HeaderFields& fields, bool machine_record,
                    const std::vector<std::string>& documents = {}) {
    SysFileBuilder b;
    b.Header(fields).NumericVar("x");
    if (!documents.empty()) b.Document(documents);
    if (machine_record) b.MachineInts({23, 1, 4, 720, 1, 1, 2, 2});
    return dir_.Write("built" + std::to_string(n_++) + ".vexa", b.End().Bytes());
  }
  int OpenRead(const std::string& path) {
    int h = -1;
    EXPECT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
    return h;
  }
  // Commits the write handle with one variable; returns the file's path.
  std::string Commit() {
    EXPECT_EQ(vexaSetVarName(handle_, "x", 0), VEXA_OK);
    EXPECT_EQ(vexaCommitHeader(handle_), VEXA_OK);
    return dir_.File("new.vexa");
  }

  static std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

  int n_ = 0;
};

TEST_F(FileInfoTest, TimeStampOfAFileReadIsItsHeaderDateAndTime) {
  const int h = OpenRead(Built({.date = "01 Jan 70", .time = "01:02:03"}, true));
  char date[VEXA_DATE_BUFFER], time[VEXA_TIME_BUFFER];
  EXPECT_EQ(vexaGetTimeStamp(h, date, time), VEXA_OK);
  EXPECT_STREQ(date, "01-Jan-70");
  EXPECT_STREQ(time, "01:02:03");
  vexaCloseRead(h);
  // No valid date in the header: the stamp is the start of the calendar.
  const int bad = OpenRead(Built({.date = "00 Foo 70"}, true));
  EXPECT_EQ(vexaGetTimeStamp(bad, date, time), VEXA_OK);
  EXPECT_STREQ(date, "14-Oct-82");
  EXPECT_STREQ(time, "00:00:00");
  vexaCloseRead(bad);
}

TEST_F(FileInfoTest, CommittedWriteHandleReportsTheStampItWrote) {
  const std::string path = Commit();
  char date[VEXA_DATE_BUFFER], time[VEXA_TIME_BUFFER];
  ASSERT_EQ(vexaGetTimeStamp(handle_, date, time), VEXA_OK);
  const std::string bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 109u);
  std::string header_date = bytes.substr(92, 9);
  header_date[2] = header_date[6] = '-';
  EXPECT_EQ(date, header_date);
  EXPECT_EQ(time, bytes.substr(101, 8));
}

TEST_F(FileInfoTest, FileLabelIsSetBeforeTheCommitAndReadsBack) {
  char id[VEXA_ID_STRING_BUFFER] = "stale";
  EXPECT_EQ(vexaGetIdString(handle_, id), VEXA_OK);  // never set: empty
  EXPECT_STREQ(id, "");
  EXPECT_EQ(vexaSetIdString(handle_, "first"), VEXA_OK);
  EXPECT_EQ(vexaSetIdString(handle_, nullptr), VEXA_OK);
  EXPECT_EQ(vexaGetIdString(handle_, id), VEXA_OK);
  EXPECT_STREQ(id, "");
  const std::string label(70, 'L');  // the header keeps 64 bytes
  EXPECT_EQ(vexaSetIdString(handle_, label.c_str()), VEXA_OK);
  const std::string path = Commit();
  EXPECT_EQ(vexaSetIdString(handle_, "late"), VEXA_E_HEADER_COMMITTED);
  vexaCloseWrite(handle_);
  handle_ = -1;
  const int h = OpenRead(path);
  EXPECT_EQ(vexaGetIdString(h, id), VEXA_OK);
  EXPECT_EQ(std::string(id), label.substr(0, 64));
  EXPECT_EQ(vexaSetIdString(h, "x"), VEXA_E_OPENED_FOR_READ);
  vexaCloseRead(h);
}

TEST_F(FileInfoTest, SystemStringAndReleaseByKindOfHandle) {
  char sys[64];
  int rel[3] = {-1, -1, -1};
  EXPECT_EQ(vexaGetSystemString(handle_, sys), VEXA_OK);
  EXPECT_STREQ(sys, "MS Windows 24.0.0.0 vexaio32.dll");
  EXPECT_EQ(vexaGetReleaseInfo(handle_, rel), VEXA_OK);
  EXPECT_EQ(rel[0] + rel[1] + rel[2], 0);

  const int h = OpenRead(Built({.product = "@(#) 0123456789abcdeTHE REST"}, true));
  EXPECT_EQ(vexaGetSystemString(h, sys), VEXA_OK);
  EXPECT_STREQ(sys, "THE REST");
  EXPECT_EQ(vexaGetReleaseInfo(h, rel), VEXA_OK);
  EXPECT_EQ(rel[0] * 10000 + rel[1] * 100 + rel[2], 230104);
  vexaCloseRead(h);

  // A short product text gives nothing; no machine record, no release.
  const std::string bare = Built({.product = "@(#) short"}, false);
  const int r = OpenRead(bare);
  EXPECT_EQ(vexaGetSystemString(r, sys), VEXA_OK);
  EXPECT_STREQ(sys, "");
  EXPECT_EQ(vexaGetReleaseInfo(r, rel), VEXA_E_NO_RELEASE_INFO);
  EXPECT_EQ(rel[0], 0);
  vexaCloseRead(r);
  int a = -1;
  ASSERT_EQ(vexaOpenAppend(bare.c_str(), &a), VEXA_OK);
  EXPECT_EQ(vexaGetReleaseInfo(a, rel), VEXA_E_NO_RELEASE_INFO);
  vexaCloseAppend(a);
}

TEST_F(FileInfoTest, CopyDocumentsWritesTheLinesOrClearsThem) {
  const int with = OpenRead(Built({}, false, {"line one", "line two"}));
  const int without = OpenRead(Built({}, false));
  EXPECT_EQ(vexaCopyDocuments(handle_, with), VEXA_E_OPENED_FOR_READ);
  ASSERT_EQ(vexaCopyDocuments(without, handle_), VEXA_OK);
  ASSERT_EQ(vexaCopyDocuments(with, handle_), VEXA_OK);
  const std::string path = Commit();
  EXPECT_EQ(vexaCopyDocuments(without, handle_), VEXA_E_HEADER_COMMITTED);
  // Two blank-padded 80-byte lines.
  const std::string lines = "line one" + std::string(72, ' ') + "line two" +
                            std::string(72, ' ');
  EXPECT_NE(FileBytes(path).find(lines), std::string::npos);
  int w = -1;
  ASSERT_EQ(vexaOpenWrite(dir_.File("cleared.vexa").c_str(), &w), VEXA_OK);
  ASSERT_EQ(vexaCopyDocuments(with, w), VEXA_OK);
  ASSERT_EQ(vexaCopyDocuments(without, w), VEXA_OK);  // removes them again
  ASSERT_EQ(vexaSetVarName(w, "x", 0), VEXA_OK);
  ASSERT_EQ(vexaCommitHeader(w), VEXA_OK);
  vexaCloseWrite(w);
  EXPECT_EQ(FileBytes(dir_.File("cleared.vexa")).find("line"), std::string::npos);
  vexaCloseRead(with);
  vexaCloseRead(without);
}

TEST_F(FileInfoTest, DocumentsReadAndSetAsWholeLines) {
  const std::string one = "line one" + std::string(72, ' ');
  const std::string two = "line two" + std::string(72, ' ');
  const int h = OpenRead(Built({}, false, {"line one", "line two"}));
  int n = -1;
  char buffer[200];
  EXPECT_EQ(vexaGetDocuments(h, nullptr, 0, &n), VEXA_OK);
  EXPECT_EQ(n, 2);
  // Only whole lines are copied; the rest of the buffer is not touched.
  for (const auto& [size, want] : {std::pair{159, one}, std::pair{160, one + two}}) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(vexaGetDocuments(h, buffer, size, &n), VEXA_OK);
    EXPECT_EQ(std::string(buffer, want.size() + 1), want + "#");
  }
  EXPECT_EQ(vexaSetDocuments(h, one.c_str(), 1), VEXA_E_OPENED_FOR_READ);
  vexaCloseRead(h);

  EXPECT_EQ(vexaSetDocuments(handle_, nullptr, 1), VEXA_E_BAD_EXTENSION);
  EXPECT_EQ(vexaSetDocuments(handle_, one.c_str(), -1), VEXA_E_BAD_EXTENSION);
  ASSERT_EQ(vexaSetDocuments(handle_, (two + one).c_str(), 2), VEXA_OK);
  ASSERT_EQ(vexaGetDocuments(handle_, buffer, sizeof buffer, &n), VEXA_OK);
  EXPECT_EQ(std::string(buffer, 160), two + one);
  const std::string path = Commit();
  EXPECT_EQ(vexaSetDocuments(handle_, nullptr, 0), VEXA_E_HEADER_COMMITTED);
  EXPECT_NE(FileBytes(path).find(two + one), std::string::npos);

  int w = -1;
  ASSERT_EQ(vexaOpenWrite(dir_.File("cleared.vexa").c_str(), &w), VEXA_OK);
  ASSERT_EQ(vexaSetDocuments(w, one.c_str(), 1), VEXA_OK);
  ASSERT_EQ(vexaSetDocuments(w, nullptr, 0), VEXA_OK);  // removes them again
  EXPECT_EQ(vexaGetDocuments(w, buffer, sizeof buffer, &n), VEXA_OK);
  EXPECT_EQ(n, 0);
  vexaCloseWrite(w);
  EXPECT_EQ(vexaGetDocuments(w, buffer, sizeof buffer, &n), VEXA_E_BAD_HANDLE);
}

TEST_F(FileInfoTest, InterfaceEncodingChangesOnlyWhileNoFileIsOpen) {
  const int saved = vexaGetInterfaceEncoding();
  EXPECT_EQ(vexaSetInterfaceEncoding(1 - saved), VEXA_E_FILES_OPEN);
  EXPECT_EQ(vexaGetInterfaceEncoding(), saved);
  vexaCloseWrite(handle_);
  handle_ = -1;
  EXPECT_EQ(vexaSetInterfaceEncoding(2), VEXA_E_BAD_ENCODING_MODE);
  for (int mode : {1, 0, saved}) {
    EXPECT_EQ(vexaSetInterfaceEncoding(mode), VEXA_OK);
    EXPECT_EQ(vexaGetInterfaceEncoding(), mode);
  }
}

TEST_F(FileInfoTest, BadHandlesResetOutputs) {
  char a[VEXA_TEXT_INFO_BUFFER] = "x", b[VEXA_TIME_BUFFER] = "x";
  int rel[3] = {7, 7, 7}, n = 7;
  EXPECT_EQ(vexaGetTimeStamp(-1, a, b), VEXA_E_BAD_HANDLE);
  EXPECT_STREQ(b, "");
  EXPECT_EQ(vexaGetReleaseInfo(100, rel), VEXA_E_BAD_HANDLE);
  EXPECT_EQ(rel[0] + rel[1] + rel[2], 0);
  EXPECT_EQ(vexaQueryType7(42, 1, &n), VEXA_E_BAD_HANDLE);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(vexaCopyDocuments(handle_, 42), VEXA_E_BAD_HANDLE);
  EXPECT_EQ(vexaGetTextInfo(42, a), VEXA_E_BAD_HANDLE);
}

TEST(TempDirTest, SetsTheEnvironmentVariable) {
  EXPECT_EQ(vexaSetTempDir("/some/where"), VEXA_OK);
  EXPECT_STREQ(getenv("VEXATMPDIR"), "/some/where");
}

}  // namespace
}  // namespace vexa::testing
