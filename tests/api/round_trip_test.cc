// Round trips through the C API: a dictionary and cases written by one
// handle read back identical by another, after a plain write, after a write
// followed by an append, and after a copy of the dictionary; uncompressed
// and byte-code compressed.
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"
#include "text/text_test_util.h"

namespace vexa::testing {
namespace {

constexpr int kCases = 40;

// Long names, every width class (0 numeric), and very long strings.
const std::pair<const char*, int> kColumns[] = {
    {"respondent_identifier", 0}, {"x", 0}, {"w1", 1}, {"w8", 8}, {"w9", 9}, {"w255", 255},
    {"w256", 256}, {"comment_text_long", 600}, {"wmax", 32767}, {"weight", 0}};

// Case numbers in the first column, then special and compressible values.
double NumberFor(int c, int col) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double kKinds[] = {-0.0, std::numeric_limits<double>::quiet_NaN(), kInf, -kInf,
                           -1.7976931348623157e308,  // system-missing
                           -1.7976931348623155e308,  // lowest
                           1.7976931348623157e308,   // highest
                           151.0, 152.0, -99.0, -100.0, 0.5, 3.0};
  return col == 0 ? c : kKinds[(c + col) % 13];
}

// Multibyte UTF-8 text that crosses the 255-byte segment boundaries of the
// very long strings, blank-padded to the width.
std::string TextFor(int c, int width) {
  std::string unit = c % 2 ? "\xE2\x82\xAC" : "ab";  // a 3-byte character
  std::string text;
  while (text.size() + unit.size() <= static_cast<size_t>(width) &&
         text.size() < static_cast<size_t>(c * 37 % (width + 1))) {
    text += unit;
  }
  return text.append(width - text.size(), ' ');
}

// One property of the dictionary or the file: the calls that set it, the
// calls that read it back, and the code and outputs (Out::Changed) that a
// file written with it gives.
struct Property {
  Call set, get;
  std::string want;
};
#define PROPERTY(set, get, want) {VEXA_CALL(set), VEXA_CALL(get), want}
const char* kShared[] = {"respondent_identifier", "weight"};
const double kSharedValues[] = {1, 2};
const char* kSharedLabels[] = {"one", "two"};
const char kBinary[] = "\x00\x01\xff\x7f\x80\x00\x20\x20";

const Property kProperties[] = {
    PROPERTY(vexaSetVarLabel(h, "x", "An \xC3\xA9tiquette"), vexaGetVarLabel(h, "x", o.s[0]),
             "0 s0=An \xC3\xA9tiquette"),
    PROPERTY(vexaSetVarPrintFormat(h, "x", 5, 3, 12),
             vexaGetVarPrintFormat(h, "x", &o.i[0], &o.i[1], &o.i[2]), "0 i0=5 i1=3 i2=12"),
    PROPERTY(vexaSetVarWriteFormat(h, "x", 17, 4, 14),
             vexaGetVarWriteFormat(h, "x", &o.i[0], &o.i[1], &o.i[2]), "0 i0=17 i1=4 i2=14"),
    PROPERTY(vexaSetVarMeasureLevel(h, "x", VEXA_MEASURE_SCALE),
             vexaGetVarMeasureLevel(h, "x", &o.i[0]), "0 i0=3"),
    PROPERTY(vexaSetVarAlignment(h, "w8", VEXA_ALIGN_CENTER),
             vexaGetVarAlignment(h, "w8", &o.i[0]), "0 i0=2"),
    PROPERTY(vexaSetVarColumnWidth(h, "w9", 33), vexaGetVarColumnWidth(h, "w9", &o.i[0]),
             "0 i0=33"),
    // Missing values: a range and a value, a range, discrete values, texts.
    PROPERTY(vexaSetVarNMissingValues(h, "x", -3, 1.0, 5.0, 9.0),
             vexaGetVarNMissingValues(h, "x", &o.i[0], &o.d[0], &o.d[1], &o.d[2]),
             "0 i0=-3 d0=1 d1=5 d2=9"),
    PROPERTY(vexaSetVarNMissingValues(h, "weight", -2, -99999, -1, 0),
             vexaGetVarNMissingValues(h, "weight", &o.i[0], &o.d[0], &o.d[1], &o.d[2]),
             "0 i0=-2 d0=-99999 d1=-1 d2=0"),
    PROPERTY(vexaSetVarNMissingValues(h, "respondent_identifier", 2, 7, 0.5, 0),
             vexaGetVarNMissingValues(h, "respondent_identifier", &o.i[0], &o.d[0], &o.d[1],
                                      &o.d[2]),
             "0 i0=2 d0=7 d1=0.5 d2=0"),
    PROPERTY(vexaSetVarCMissingValues(h, "w8", 2, "NA", "--", nullptr),
             vexaGetVarCMissingValues(h, "w8", &o.i[0], o.s[0], o.s[1], o.s[2]),
             "0 s0=NA       i0=2 s1=--       s2="),
    // Labels: a set shared by two variables, string values short and long.
    PROPERTY(vexaSetVarNValueLabels(h, kShared, 2, kSharedValues, kSharedLabels, 2),
             Each({vexaGetVarNValueLabel(h, "weight", 2, o.s[0]),
                   vexaGetVarNValueLabel(h, "respondent_identifier", 1, o.s[1])}),
             "0 s0=two s1=one"),
    PROPERTY(vexaSetVarCValueLabel(h, "w8", "NA", "not asked"),
             vexaGetVarCValueLabel(h, "w8", "NA", o.s[0]), "0 s0=not asked"),
    PROPERTY(vexaSetVarCValueLabel(h, "w255", "long value", "a long label"),
             vexaGetVarCValueLabel(h, "w255", "long value", o.s[0]), "0 s0=a long label"),
    PROPERTY(vexaSetCaseWeightVar(h, "weight"), vexaGetCaseWeightVar(h, o.s[0]),
             "0 s0=weight"),
    PROPERTY(VEXA_OK, vexaGetVarCompatName(h, "respondent_identifier", o.s[0]),
             "0 s0=RESPONDE"),  // made by the writer
    // File information, the label kept for 64 bytes, and caller records: one
    // of bytes that are no text, one replaced, one removed again.
    PROPERTY(vexaSetIdString(h, std::string(70, 'L').c_str()), vexaGetIdString(h, o.s[0]),
             "0 s0=" + std::string(64, 'L')),
    PROPERTY(vexaSetTextInfo(h, "from the test"), vexaGetTextInfo(h, o.s[0]),
             "0 s0=from the test"),
    PROPERTY(vexaSetExtensionData(h, 35, 4, 2, kBinary),
             Each({vexaGetExtensionDataDesc(h, 35, &o.i[0], &o.i[1]),
                   vexaGetExtensionData(h, 35, 8, &o.i[2], o.s[0]),
                   std::memcmp(o.s[0], kBinary, 8)}),
             "0 s0= i0=4 i1=2 i2=2"),
    PROPERTY(Each({vexaSetExtensionData(h, 23, 1, 3, "old"),
                   vexaSetExtensionData(h, 23, 1, 3, "new")}),
             vexaGetExtensionData(h, 23, 8, &o.i[0], o.s[0]), "0 s0=newk i0=3"),
    PROPERTY(Each({vexaSetExtensionData(h, 24, 1, 3, "gone"),
                   vexaSetExtensionData(h, 24, 1, 0, "gone")}),
             vexaQueryType7(h, 24, &o.i[0]), "0 i0=0"),
};

enum Way { kWrite, kAppend, kCopy };

class RoundTripTest : public ::testing::TestWithParam<std::tuple<Way, int>> {
 protected:
  // A new file (or a copy of source's dictionary) with the dictionary
  // committed; a source file is given the dictionary but no cases.
  int Begin(const std::string& path, const std::string& source = "") {
    int h = -1;
    if (!source.empty()) {
      EXPECT_EQ(vexaOpenWriteCopyU8(path.c_str(), source.c_str(), &h), VEXA_OK);
    } else {
      EXPECT_EQ(vexaOpenWriteU8(path.c_str(), &h), VEXA_OK);
      for (auto [name, type] : kColumns) EXPECT_EQ(vexaSetVarName(h, name, type), VEXA_OK);
      for (size_t i = 0; i < std::size(kProperties); ++i) {
        Out o;
        EXPECT_EQ(kProperties[i].set(h, o), VEXA_OK) << "property " << i;
      }
    }
    EXPECT_EQ(Each({vexaSetCompression(h, std::get<1>(GetParam())), vexaCommitHeader(h)}), 0);
    return h;
  }
  void WriteCases(int h, int first, int last) {
    for (int c = first; c < last; ++c) {
      for (int v = 0; v < static_cast<int>(std::size(kColumns)); ++v) {
        const int width = kColumns[v].second;
        ASSERT_EQ(width ? vexaSetValueChar(h, v + 1, TextFor(c, width).c_str())
                        : vexaSetValueNumeric(h, v + 1, NumberFor(c, v)),
                  VEXA_OK);
      }
      ASSERT_EQ(vexaCommitCaseRecord(h), VEXA_OK);
    }
  }

  TempDir dir_;
  text::testing::ScopedInterfaceMode utf8_{text::InterfaceMode::kUtf8};
};

TEST_P(RoundTripTest, EveryValueAndPropertyReadsBack) {
  const Way way = std::get<0>(GetParam());
  const std::string path = dir_.File("rt.vexa"), source = dir_.File("source.vexa");
  ASSERT_TRUE(way != kCopy || vexaCloseWrite(Begin(source)) == VEXA_OK);  // the source
  int h = Begin(path, way == kCopy ? source : "");
  WriteCases(h, 0, way == kAppend ? 13 : kCases);  // 13 leaves a compressed block partly filled
  if (way == kAppend) {
    ASSERT_EQ(Each({vexaCloseWrite(h), vexaOpenAppendU8(path.c_str(), &h)}), VEXA_OK);
    WriteCases(h, 13, kCases);
  }
  ASSERT_EQ(Each({vexaCloseWrite(h), vexaOpenRead(path.c_str(), &h)}), VEXA_OK);
  RunSteps(h, {STEP(vexaGetNumberofCases(h, &o.i[0]), VEXA_OK, " i0=40"),
               STEP(vexaGetCompression(h, &o.i[0]), VEXA_OK,
                    " i0=" + std::to_string(std::get<1>(GetParam())))});
  for (int v = 0; v < static_cast<int>(std::size(kColumns)); ++v) {
    Out o;
    EXPECT_EQ(vexaGetVarInfo(h, v, o.s[0], &o.i[0]), VEXA_OK);
    EXPECT_EQ(o.s[0] + std::string(" ") + std::to_string(o.i[0]),
              kColumns[v].first + std::string(" ") + std::to_string(kColumns[v].second));
  }
  for (size_t i = 0; i < std::size(kProperties); ++i) {
    Out o;
    const int code = kProperties[i].get(h, o);
    EXPECT_EQ(std::to_string(code) + o.Changed(), kProperties[i].want) << "property " << i;
  }
  std::vector<char> text(VEXA_MAX_STRING_WIDTH + 1);
  for (int c = 0; c < kCases; ++c) {
    ASSERT_EQ(vexaReadCaseRecord(h), VEXA_OK) << "case " << c;
    for (int v = 0; v < static_cast<int>(std::size(kColumns)); ++v) {
      double got, want = NumberFor(c, v);
      if (kColumns[v].second) {
        ASSERT_EQ(vexaGetValueChar(h, v + 1, text.data(), static_cast<int>(text.size())), 0);
        EXPECT_EQ(text.data(), TextFor(c, kColumns[v].second)) << kColumns[v].first << " " << c;
      } else {  // bit for bit: -0.0 and NaN included
        ASSERT_EQ(vexaGetValueNumeric(h, v + 1, &got), VEXA_OK);
        EXPECT_EQ(std::memcmp(&got, &want, 8), 0) << kColumns[v].first << " case " << c;
      }
    }
  }
  EXPECT_EQ(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA);
  vexaCloseRead(h);
}

INSTANTIATE_TEST_SUITE_P(WaysAndCompressions, RoundTripTest,
                         ::testing::Combine(::testing::Values(kWrite, kAppend, kCopy),
                                            ::testing::Values(0, 1)));

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
