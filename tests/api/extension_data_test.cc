// Raw extension records through the C API: which subtypes a caller may
// touch, the records a file held, delivery in whole elements over
// successive calls, and what a caller stores reaching the file unchanged.
#include <string>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

class ExtensionDataTest : public WriteHandleTest {
 protected:
  // A file holding "abcdef" as subtype 30 (six 1-byte elements), three
  // 4-byte elements as subtype 12 and the text information "made here".
  int OpenBuilt() {
    const std::string bytes = SysFileBuilder()
                                  .Header()
                                  .NumericVar("x")
                                  .MachineInts()
                                  .Extension(30, 1, 6, "abcdef")
                                  .Extension(12, 4, 3, "AAAABBBBCCCC")
                                  .Extension(10, 1, 9, "made here")
                                  .End()
                                  .Bytes();
    int h = -1;
    EXPECT_EQ(vexaOpenRead(dir_.Write("built.vexa", bytes).c_str(), &h), VEXA_OK);
    return h;
  }
  // Commits the write handle, closes it and opens the file for reading.
  int CommitAndReopen() {
    EXPECT_EQ(vexaSetVarName(handle_, "x", 0), VEXA_OK);
    EXPECT_EQ(vexaCommitHeader(handle_), VEXA_OK);
    vexaCloseWrite(handle_);
    handle_ = -1;
    int h = -1;
    EXPECT_EQ(vexaOpenRead(dir_.File("new.vexa").c_str(), &h), VEXA_OK);
    return h;
  }
  // One call of vexaGetExtensionData: the elements delivered as text.
  static std::string Piece(int h, int subtype, int room, int* code = nullptr) {
    char buffer[64] = {};
    int n = -1;
    int c = vexaGetExtensionData(h, subtype, room, &n, buffer);
    if (code) *code = c;
    return std::string(buffer, static_cast<size_t>(n) * (subtype == 12 ? 4 : 1));
  }
};

class ReservedSubtypeTest : public ExtensionDataTest,
                            public ::testing::WithParamInterface<int> {};

TEST_P(ReservedSubtypeTest, IsRefusedByEveryRawCall) {
  const int h = OpenBuilt();
  char buffer[8];
  int a = 7, b = 7;
  EXPECT_EQ(vexaSetExtensionData(handle_, GetParam(), 1, 2, "ab"),
            VEXA_E_BAD_EXTENSION);
  EXPECT_EQ(vexaGetExtensionDataDesc(h, GetParam(), &a, &b), VEXA_E_BAD_EXTENSION);
  EXPECT_EQ(a + b, 0);
  EXPECT_EQ(vexaGetExtensionData(h, GetParam(), 8, &a, buffer),
            VEXA_E_BAD_EXTENSION);
  EXPECT_EQ(a, 0);
  vexaCloseRead(h);
}

INSTANTIATE_TEST_SUITE_P(Subtypes, ReservedSubtypeTest,
                         ::testing::Values(0, 3, 4, 5, 6, 7, 9, 11, 13, 14, 16,
                                           17, 18, 19, 20, 21, 22, 41, -1, 99));

TEST_F(ExtensionDataTest, QueryType7ReportsTheRecordsTheFileHeld) {
  const int h = OpenBuilt();
  int found = -1;
  const std::pair<int, int> expected[] = {{30, 1}, {12, 1}, {3, 1}, {31, 0}, {0, 0}};
  for (auto [subtype, want] : expected) {
    EXPECT_EQ(vexaQueryType7(h, subtype, &found), VEXA_OK);
    EXPECT_EQ(found, want) << subtype;
  }
  EXPECT_EQ(vexaQueryType7(h, 41, &found), VEXA_E_BAD_SUBTYPE);
  EXPECT_EQ(vexaQueryType7(h, -1, &found), VEXA_E_BAD_SUBTYPE);
  EXPECT_EQ(vexaQueryType7(handle_, 30, &found), VEXA_E_OPENED_FOR_WRITE);
  vexaCloseRead(h);
}

TEST_F(ExtensionDataTest, DataComesInWholeElementsAndRestartsAfterTheLast) {
  const int h = OpenBuilt();
  int size = 0, count = 0;
  EXPECT_EQ(vexaGetExtensionDataDesc(h, 12, &size, &count), VEXA_OK);
  EXPECT_EQ(size * 100 + count, 403);
  EXPECT_EQ(vexaGetExtensionDataDesc(h, 31, &size, &count), VEXA_OK);
  EXPECT_EQ(size + count, 0);

  EXPECT_EQ(Piece(h, 30, 4), "abcd");
  EXPECT_EQ(Piece(h, 30, 4), "ef");
  EXPECT_EQ(Piece(h, 30, 4), "abcd");  // starts again
  EXPECT_EQ(Piece(h, 12, 7), "AAAA");  // the other subtype has its own reader
  EXPECT_EQ(Piece(h, 12, 3), "");      // no whole element fits
  EXPECT_EQ(Piece(h, 12, 64), "BBBBCCCC");
  EXPECT_EQ(Piece(h, 30, 64), "ef");
  EXPECT_EQ(Piece(h, 31, 64), "");

  // Replacing a record drops the delivery under way.
  EXPECT_EQ(Piece(h, 30, 2), "ab");
  ASSERT_EQ(vexaSetExtensionData(h, 30, 1, 3, "xyz"), VEXA_OK);
  EXPECT_EQ(Piece(h, 30, 64), "xyz");
  vexaCloseRead(h);
}

TEST_F(ExtensionDataTest, WriteHandleDeliversButSaysItIsNotAFileRead) {
  ASSERT_EQ(vexaSetExtensionData(handle_, 30, 1, 3, "xyz"), VEXA_OK);
  int code = 0, size = 7, count = 7;
  EXPECT_EQ(Piece(handle_, 30, 2, &code), "xy");
  EXPECT_EQ(code, VEXA_E_OPENED_FOR_WRITE);
  EXPECT_EQ(vexaGetExtensionDataDesc(handle_, 30, &size, &count),
            VEXA_E_OPENED_FOR_WRITE);
  EXPECT_EQ(size + count, 0);
}

TEST_F(ExtensionDataTest, StoredRecordsReachTheFileUnchanged) {
  const std::string binary("\x00\x01\xff\x7f\x80\x00\x20\x20", 8);
  ASSERT_EQ(vexaSetExtensionData(handle_, 35, 4, 2, binary.data()), VEXA_OK);
  ASSERT_EQ(vexaSetExtensionData(handle_, 23, 1, 3, "old"), VEXA_OK);
  ASSERT_EQ(vexaSetExtensionData(handle_, 23, 1, 3, "new"), VEXA_OK);
  ASSERT_EQ(vexaSetExtensionData(handle_, 24, 1, 3, "gone"), VEXA_OK);
  ASSERT_EQ(vexaSetExtensionData(handle_, 24, 1, 0, "gone"), VEXA_OK);
  ASSERT_EQ(vexaSetTextInfo(handle_, "from the test"), VEXA_OK);
  EXPECT_EQ(vexaSetExtensionData(handle_, 30, 0, 1, "z"), VEXA_E_BAD_EXTENSION);
  EXPECT_EQ(vexaSetExtensionData(handle_, 30, 1, -1, "z"), VEXA_E_BAD_EXTENSION);
  const int h = CommitAndReopen();

  int size = 0, count = 0, found = 0;
  EXPECT_EQ(vexaGetExtensionDataDesc(h, 35, &size, &count), VEXA_OK);
  EXPECT_EQ(size * 100 + count, 402);
  char buffer[8];
  int n = 0;
  EXPECT_EQ(vexaGetExtensionData(h, 35, 8, &n, buffer), VEXA_OK);
  EXPECT_EQ(std::string(buffer, 8), binary);
  EXPECT_EQ(Piece(h, 23, 64), "new");
  EXPECT_EQ(vexaQueryType7(h, 24, &found), VEXA_OK);
  EXPECT_EQ(found, 0);
  char text[VEXA_TEXT_INFO_BUFFER];
  EXPECT_EQ(vexaGetTextInfo(h, text), VEXA_OK);
  EXPECT_STREQ(text, "from the test");
  vexaCloseRead(h);
}

TEST_F(ExtensionDataTest, TextInfoIsReadFromItsStartUpTo255Bytes) {
  const int h = OpenBuilt();
  char text[VEXA_TEXT_INFO_BUFFER];
  const std::string longer(300, 't');
  ASSERT_EQ(vexaSetTextInfo(h, longer.c_str()), VEXA_OK);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(vexaGetTextInfo(h, text), VEXA_OK);
    EXPECT_EQ(std::string(text), longer.substr(0, 255));
  }
  ASSERT_EQ(vexaSetTextInfo(h, ""), VEXA_OK);
  EXPECT_EQ(vexaGetTextInfo(h, text), VEXA_OK);
  EXPECT_STREQ(text, "");
  vexaCloseRead(h);
}

}  // namespace
}  // namespace vexa::testing
