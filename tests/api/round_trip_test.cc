// Round trips through the C API: a dictionary and cases written by one
// handle read back identical by another, after a plain write, after a write
// followed by an append, and after a copy of the dictionary; uncompressed
// and byte-code compressed.
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"
#include "text/text_test_util.h"

namespace vexa::testing {
namespace {

constexpr int kCases = 40;

struct Column {
  const char* name;
  int type;
};

// Long names, every width class, and a very long string.
const Column kColumns[] = {
    {"respondent_identifier", 0}, {"x", 0}, {"w1", 1}, {"w8", 8},
    {"w9", 9}, {"w255", 255}, {"w256", 256}, {"comment_text_long", 600},
    {"wmax", 32767}, {"weight", 0},
};

double NumberFor(int c, int col) {
  const double kKinds[] = {-0.0,
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           -1.7976931348623157e308,  // system-missing
                           -1.7976931348623155e308,  // lowest
                           1.7976931348623157e308,   // highest
                           151.0, 152.0, -99.0, -100.0, 0.5, 3.0};
  return col == 0 ? c : kKinds[(c + col) % 13];
}

// A text for a string column: multibyte UTF-8 text that crosses the 255-byte
// segment boundaries of the very long strings.
std::string TextFor(int c, int width) {
  std::string unit = c % 2 ? "\xE2\x82\xAC" : "ab";  // a 3-byte character
  std::string text;
  while (text.size() + unit.size() <= static_cast<size_t>(width) &&
         text.size() < static_cast<size_t>(c * 37 % (width + 1))) {
    text += unit;
  }
  return text;
}

class RoundTripTest : public ::testing::TestWithParam<int> {
 protected:
  int Compression() const { return GetParam(); }

  void Define(int h) {
    for (const Column& c : kColumns) ASSERT_EQ(vexaSetVarName(h, c.name, c.type), VEXA_OK);
    ASSERT_EQ(vexaSetVarLabel(h, "x", "An \xC3\xA9tiquette"), VEXA_OK);
    ASSERT_EQ(vexaSetVarPrintFormat(h, "x", 5, 3, 12), VEXA_OK);
    ASSERT_EQ(vexaSetVarWriteFormat(h, "x", 17, 4, 14), VEXA_OK);
    ASSERT_EQ(vexaSetVarMeasureLevel(h, "x", VEXA_MEASURE_SCALE), VEXA_OK);
    ASSERT_EQ(vexaSetVarAlignment(h, "w8", VEXA_ALIGN_CENTER), VEXA_OK);
    ASSERT_EQ(vexaSetVarColumnWidth(h, "w9", 33), VEXA_OK);
    ASSERT_EQ(vexaSetVarNMissingValues(h, "x", -3, 1.0, 5.0, 9.0), VEXA_OK);
    ASSERT_EQ(vexaSetVarCMissingValues(h, "w8", 2, "NA", "--", nullptr), VEXA_OK);
    const char* shared[] = {"respondent_identifier", "weight"};
    const double values[] = {1, 2};
    const char* labels[] = {"one", "two"};
    ASSERT_EQ(vexaSetVarNValueLabels(h, shared, 2, values, labels, 2), VEXA_OK);
    ASSERT_EQ(vexaSetVarCValueLabel(h, "w8", "NA", "not asked"), VEXA_OK);
    ASSERT_EQ(vexaSetVarCValueLabel(h, "w255", "long value", "a long label"), VEXA_OK);
    ASSERT_EQ(vexaSetCaseWeightVar(h, "weight"), VEXA_OK);
    ASSERT_EQ(vexaSetCompression(h, Compression()), VEXA_OK);
  }

  void WriteCases(int h, int first, int last) {
    for (int c = first; c < last; ++c) {
      double vh = 1;
      for (const Column& col : kColumns) {
        if (col.type == 0) {
          ASSERT_EQ(vexaSetValueNumeric(h, vh, NumberFor(c, static_cast<int>(vh) - 1)), VEXA_OK);
        } else {
          ASSERT_EQ(vexaSetValueChar(h, vh, TextFor(c, col.type).c_str()), VEXA_OK);
        }
        ++vh;
      }
      ASSERT_EQ(vexaCommitCaseRecord(h), VEXA_OK);
    }
  }

  void ExpectFile(const std::string& path) {
    int h = -1;
    ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
    int n = 0;
    EXPECT_EQ(vexaGetNumberofCases(h, &n), VEXA_OK);
    EXPECT_EQ(n, kCases);
    char name[VEXA_NAME_BUFFER];
    int type;
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
      ASSERT_EQ(vexaGetVarInfo(h, i, name, &type), VEXA_OK);
      EXPECT_STREQ(name, kColumns[i].name);
      EXPECT_EQ(type, kColumns[i].type);
    }
    char buf[512];
    EXPECT_EQ(vexaGetVarLabel(h, "x", buf), VEXA_OK);
    EXPECT_STREQ(buf, "An \xC3\xA9tiquette");
    int t, d, w;
    EXPECT_EQ(vexaGetVarWriteFormat(h, "x", &t, &d, &w), VEXA_OK);
    EXPECT_EQ(t * 10000 + d * 100 + w, 170414);
    int v;
    EXPECT_EQ(vexaGetVarMeasureLevel(h, "x", &v), VEXA_OK);
    EXPECT_EQ(v, VEXA_MEASURE_SCALE);
    EXPECT_EQ(vexaGetVarAlignment(h, "w8", &v), VEXA_OK);
    EXPECT_EQ(v, VEXA_ALIGN_CENTER);
    EXPECT_EQ(vexaGetVarColumnWidth(h, "w9", &v), VEXA_OK);
    EXPECT_EQ(v, 33);
    double m1, m2, m3;
    EXPECT_EQ(vexaGetVarNMissingValues(h, "x", &v, &m1, &m2, &m3), VEXA_OK);
    EXPECT_EQ(v, -3);
    EXPECT_EQ(m3, 9.0);
    EXPECT_EQ(vexaGetVarNValueLabel(h, "weight", 2, buf), VEXA_OK);
    EXPECT_STREQ(buf, "two");
    EXPECT_EQ(vexaGetVarCValueLabel(h, "w8", "NA", buf), VEXA_OK);
    EXPECT_STREQ(buf, "not asked");
    EXPECT_EQ(vexaGetVarCValueLabel(h, "w255", "long value", buf), VEXA_OK);
    EXPECT_STREQ(buf, "a long label");
    EXPECT_EQ(vexaGetCaseWeightVar(h, name), VEXA_OK);
    EXPECT_STREQ(name, "weight");
    char compat[VEXA_COMPAT_NAME_BUFFER];
    EXPECT_EQ(vexaGetVarCompatName(h, "respondent_identifier", compat), VEXA_OK);
    EXPECT_STREQ(compat, "RESPONDE");

    std::vector<char> text(VEXA_MAX_STRING_WIDTH + 1);
    for (int c = 0; c < kCases; ++c) {
      ASSERT_EQ(vexaReadCaseRecord(h), VEXA_OK) << "case " << c;
      double vh = 1;
      for (const Column& col : kColumns) {
        if (col.type == 0) {
          double got;
          ASSERT_EQ(vexaGetValueNumeric(h, vh, &got), VEXA_OK);
          double want = NumberFor(c, static_cast<int>(vh) - 1);
          // Bit for bit: -0.0 and NaN included.
          EXPECT_EQ(std::memcmp(&got, &want, 8), 0) << col.name << " case " << c;
        } else {
          ASSERT_EQ(vexaGetValueChar(h, vh, text.data(), static_cast<int>(text.size())), VEXA_OK);
          std::string want = TextFor(c, col.type);
          want.resize(col.type, ' ');
          EXPECT_EQ(std::string(text.data()), want) << col.name << " case " << c;
        }
        ++vh;
      }
    }
    EXPECT_EQ(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA);
    vexaCloseRead(h);
  }

  TempDir dir_;
  text::testing::ScopedInterfaceMode utf8_{text::InterfaceMode::kUtf8};
};

TEST_P(RoundTripTest, WriteThenRead) {
  std::string path = dir_.File("rt.vexa");
  int h = -1;
  ASSERT_EQ(vexaOpenWriteU8(path.c_str(), &h), VEXA_OK);
  Define(h);
  ASSERT_EQ(vexaCommitHeader(h), VEXA_OK);
  WriteCases(h, 0, kCases);
  ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
  ExpectFile(path);
}

TEST_P(RoundTripTest, WriteCloseAppendClose) {
  std::string path = dir_.File("append.vexa");
  int h = -1;
  ASSERT_EQ(vexaOpenWriteU8(path.c_str(), &h), VEXA_OK);
  Define(h);
  ASSERT_EQ(vexaCommitHeader(h), VEXA_OK);
  WriteCases(h, 0, 13);  // leaves a compressed block partly filled
  ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
  ASSERT_EQ(vexaOpenAppendU8(path.c_str(), &h), VEXA_OK);
  EXPECT_EQ(vexaSetVarLabel(h, "x", "no"), VEXA_E_HEADER_COMMITTED);
  EXPECT_EQ(vexaReadCaseRecord(h), VEXA_E_OPENED_FOR_WRITE);
  WriteCases(h, 13, kCases);
  ASSERT_EQ(vexaCloseAppend(h), VEXA_OK);
  ExpectFile(path);
}

TEST_P(RoundTripTest, CopyOfTheDictionary) {
  std::string source = dir_.File("source.vexa");
  int h = -1;
  ASSERT_EQ(vexaOpenWriteU8(source.c_str(), &h), VEXA_OK);
  Define(h);
  ASSERT_EQ(vexaCommitHeader(h), VEXA_OK);
  ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);

  std::string copy = dir_.File("copy.vexa");
  ASSERT_EQ(vexaOpenWriteCopyU8(copy.c_str(), source.c_str(), &h), VEXA_OK);
  ASSERT_EQ(vexaSetCompression(h, Compression()), VEXA_OK);
  ASSERT_EQ(vexaCommitHeader(h), VEXA_OK);
  WriteCases(h, 0, kCases);
  ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
  ExpectFile(copy);
}

INSTANTIATE_TEST_SUITE_P(Compression, RoundTripTest, ::testing::Values(0, 1));

TEST(WriteHandleStatesTest, CommitOrderAndCodes) {
  TempDir dir;
  int h = -1;
  ASSERT_EQ(vexaOpenWrite(dir.File("s.vexa").c_str(), &h), VEXA_OK);
  EXPECT_EQ(vexaCommitHeader(h), VEXA_E_NO_VARIABLES);
  EXPECT_EQ(vexaCommitCaseRecord(h), VEXA_E_HEADER_NOT_COMMITTED);
  ASSERT_EQ(vexaSetVarName(h, "a", 0), VEXA_OK);
  EXPECT_EQ(vexaSetCompression(h, 7), VEXA_OK);
  int comp = 0;
  EXPECT_EQ(vexaGetCompression(h, &comp), VEXA_OK);
  EXPECT_EQ(comp, 1);
  ASSERT_EQ(vexaCommitHeader(h), VEXA_OK);
  EXPECT_EQ(vexaCommitHeader(h), VEXA_E_HEADER_COMMITTED);
  EXPECT_EQ(vexaSetVarName(h, "b", 0), VEXA_E_HEADER_COMMITTED);
  EXPECT_EQ(vexaSetCompression(h, 0), VEXA_E_HEADER_COMMITTED);
  int size = 0;
  EXPECT_EQ(vexaGetCaseSize(h, &size), VEXA_OK);
  EXPECT_EQ(size, 8);
  // An empty case is a case of missing values.
  EXPECT_EQ(vexaCommitCaseRecord(h), VEXA_OK);
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);

  ASSERT_EQ(vexaOpenRead(dir.File("s.vexa").c_str(), &h), VEXA_OK);
  EXPECT_EQ(vexaCommitHeader(h), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaWholeCaseOut(h, &size), VEXA_E_OPENED_FOR_READ);
  ASSERT_EQ(vexaReadCaseRecord(h), VEXA_OK);
  double v = 0;
  EXPECT_EQ(vexaGetValueNumeric(h, 1.0, &v), VEXA_OK);
  EXPECT_EQ(v, vexaSysmisVal());
  vexaCloseRead(h);
}

TEST(WriteOpensTest, PasswordRulesAndFailedCopiesLeaveNoFile) {
  TempDir dir;
  int h = 3;
  EXPECT_EQ(vexaOpenWriteEx(dir.File("e.vexa").c_str(), "12345678901", &h),
            VEXA_E_BAD_PASSWORD);
  EXPECT_EQ(h, -1);
  EXPECT_EQ(vexaOpenWriteEx(dir.File("e.vexa").c_str(), "", &h), VEXA_E_NO_PASSWORD);
  EXPECT_EQ(vexaOpenWriteU8Ex(dir.File("e.vexa").c_str(), nullptr, &h),
            VEXA_E_NO_PASSWORD);
  EXPECT_EQ(vexaOpenWriteCopyEx(dir.File("c.vexa").c_str(), nullptr,
                                dir.File("none.vexa").c_str(), nullptr, &h),
            VEXA_E_NO_PASSWORD);
  EXPECT_EQ(vexaOpenWriteCopy(dir.File("c.vexa").c_str(),
                              dir.File("none.vexa").c_str(), &h),
            VEXA_E_FILE_OPEN);
  EXPECT_EQ(h, -1);
  EXPECT_NE(::access(dir.File("c.vexa").c_str(), F_OK), 0);
}

TEST(WriteOpensTest, AppendRefusesAFileOfTheOtherByteOrder) {
  TempDir dir;
  std::string file = SysFileBuilder(/*big_endian=*/true)
                         .Header()
                         .NumericVar("a")
                         .End()
                         .CaseNumber(1)
                         .Bytes();
  int h = 0;
  EXPECT_EQ(vexaOpenAppend(dir.Write("be.vexa", file).c_str(), &h),
            VEXA_E_CANNOT_APPEND);
  EXPECT_EQ(h, -1);
  EXPECT_EQ(vexaOpenAppend(dir.File("absent.vexa").c_str(), &h), VEXA_E_FILE_OPEN);
}

// Files written elsewhere: a count record of one unit, short names that the
// file records. Appending keeps both as the file has them: the count is
// patched into the one unit, never past the record, and the short names
// read from the file stay what an append handle reports.
TEST(WriteOpensTest, AppendKeepsTheFilesOwnCountRecordAndShortNames) {
  TempDir dir;
  const std::string names = "LNGNAMEX=longname";
  const std::string file = SysFileBuilder()
                               .Header()
                               .NumericVar("abc")
                               .NumericVar("LNGNAMEX")
                               .Extension(13, 1, 17, names)
                               .Extension(16, 8, 1, std::string("\1\0\0\0\0\0\0\0", 8))
                               .Extension(30, 1, 2, "zz")
                               .End()
                               .CaseNumber(1).CaseNumber(2)
                               .Bytes();
  const std::string path = dir.Write("one_unit.vexa", file);
  int h = -1;
  ASSERT_EQ(vexaOpenAppend(path.c_str(), &h), VEXA_OK);
  auto short_names = [&] {
    char a[VEXA_COMPAT_NAME_BUFFER], b[VEXA_COMPAT_NAME_BUFFER];
    EXPECT_EQ(vexaGetVarCompatName(h, "abc", a), VEXA_OK);
    EXPECT_EQ(vexaGetVarCompatName(h, "longname", b), VEXA_OK);
    return std::string(a) + "," + b;
  };
  EXPECT_EQ(short_names(), "abc,LNGNAMEX");
  ASSERT_EQ(vexaSetValueNumeric(h, 1.0, 3), VEXA_OK);
  ASSERT_EQ(vexaCommitCaseRecord(h), VEXA_OK);
  EXPECT_EQ(short_names(), "abc,LNGNAMEX");
  ASSERT_EQ(vexaCloseAppend(h), VEXA_OK);

  ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
  int cases = 0;
  EXPECT_EQ(vexaGetNumberofCases(h, &cases), VEXA_OK);
  EXPECT_EQ(cases, 2);
  int found = 0;
  EXPECT_EQ(vexaQueryType7(h, 30, &found), VEXA_OK);
  EXPECT_EQ(found, 1);
  vexaCloseRead(h);
}

}  // namespace
}  // namespace vexa::testing
