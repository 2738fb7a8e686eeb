// Reading the sample file through the C API in either byte order: its
// dictionary, its cases and their values; building a case on a write handle.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sample_file.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

class SampleFileTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { h_ = OpenBuilt(dir_, BuildSampleFile(GetParam())); }
  void TearDown() override { vexaCloseRead(h_); }

  TempDir dir_;
  int h_ = -1;
};

// The variables' handles: 1 id, 2 region (A8), 3 city (A20), 9 wt.
TEST_P(SampleFileTest, ShowsItsDictionaryAndItsCasesAndChecksTheirValues) {
  RunSteps(h_, {
      STEP(vexaGetNumberofCases(h, &o.i[0]), VEXA_OK, " i0=4"),
      STEP(vexaGetEstimatedNofCases(h, &o.i[0]), VEXA_OK, " i0=4"),
      STEP(vexaGetCaseSize(h, &o.i[0]), VEXA_OK, " i0=88"),  // 11 slots
      STEP(Each({vexaSeekNextCase(h, kSampleCases - 1), vexaReadCaseRecord(h),
                 vexaGetValueNumeric(h, 1, &o.d[0])}), VEXA_OK, " d0=4"),
      STEP(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA, ""),
      STEP(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA, ""),
      STEP(vexaSeekNextCase(h, 0), VEXA_OK, ""),
      STEP(vexaReadCaseRecord(h), VEXA_OK, ""),
      STEP(vexaGetValueNumeric(h, 1, &o.d[0]), VEXA_OK, " d0=1"),
      // Values are checked against their variable.
      STEP(vexaSeekNextCase(h, 1), VEXA_OK, ""),
      STEP(vexaReadCaseRecord(h), VEXA_OK, ""),
      STEP(vexaGetValueChar(h, 2, o.s[0], 8), VEXA_E_BUFFER_TOO_SHORT, " s0="),
      STEP(vexaGetValueChar(h, 2, o.s[0], 9), VEXA_OK, " s0=S       "),
      STEP(vexaGetValueChar(h, 1, o.s[0], 32), VEXA_E_WRONG_TYPE, " s0="),
      STEP(vexaGetValueNumeric(h, 3, &o.d[0]), VEXA_E_NOT_NUMERIC, " d0=0"),
      STEP(vexaGetValueNumeric(h, 1.9, &o.d[0]), VEXA_OK, " d0=2"),  // handle 1: id 2
  });
  double v;
  for (double bad : {0.0, -1.0, 10.0, 1e300, std::nan("")}) {
    EXPECT_EQ(vexaGetValueNumeric(h_, bad, &v), VEXA_E_BAD_VAR_HANDLE) << bad;
  }
  EXPECT_EQ(vexaGetValueNumeric(h_, 9.99, &v), VEXA_OK);  // the last variable, wt
  // A whole case read into the caller's memory leaves no current case.
  std::vector<double> record(kSampleSlots);
  ASSERT_EQ(Each({vexaSeekNextCase(h_, 3), vexaWholeCaseIn(h_, record.data())}), VEXA_OK);
  EXPECT_EQ(record[0], 4.0);  // id
  RunSteps(h_, {STEP(vexaGetValueNumeric(h, 1, &o.d[0]), VEXA_E_NO_CURRENT_CASE, " d0=0"),
                STEP(vexaWholeCaseIn(h, o.s[0]), VEXA_W_END_OF_DATA, "")});

  // Many cases in one call (what they read is the batch test's): the calls refused.
  RunSteps(h_, {STEP(vexaSeekNextCase(h, 0), VEXA_OK, ""),
                STEP(vexaWholeCasesIn(h, nullptr, 1, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
                STEP(vexaWholeCasesIn(h, o.s[0], -1, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
                STEP(vexaWholeCasesIn(h, o.s[0], 0, &o.i[0]), VEXA_OK, " i0=0")});
}

INSTANTIATE_TEST_SUITE_P(BothOrders, SampleFileTest, ::testing::Bool());

// The special values; system-missing numbers as NaN: only numeric slots
// change, in either byte order, whatever bytes a string holds; an unknown
// option is refused.
TEST(CaseReadingTest, SpecialValuesAndSysmisAsNaN) {
  double sysmis = 0, low = 0, high = 0;
  EXPECT_EQ(Each({vexaHostSysmisVal(&sysmis), vexaLowHighVal(&low, &high)}), VEXA_OK);
  EXPECT_EQ((std::vector{sysmis, vexaSysmisVal(), low, high}),
            (std::vector{-1.7976931348623157e308, -1.7976931348623157e308,
                         -1.7976931348623155e308, 1.7976931348623157e308}));
  const std::string bits = DoubleBytes(sysmis);
  for (bool big : {false, true}) {
    SysFileBuilder b(big);
    b.Header().NumericVar("a").StringVar("s", 8).NumericVar("b").End();
    b.CaseNumber(sysmis).CaseText(bits, 8).CaseNumber(2);
    b.CaseNumber(1).CaseText("x", 8).CaseNumber(sysmis);
    TempDir dir;
    const int h = OpenBuilt(dir, b.Bytes());
    int got = -1;
    std::vector<double> plain(6), nan(6);
    ASSERT_EQ(Each({vexaWholeCasesIn(h, plain.data(), 2, &got), vexaSeekNextCase(h, 0),
                    vexaWholeCasesInEx(h, nan.data(), 2, VEXA_CASES_NAN_FOR_SYSMIS, &got)}),
              VEXA_OK);
    EXPECT_EQ(got, 2);
    for (size_t i = 0; i < 6; ++i) {
      const bool turned = i != 1 && plain[i] == sysmis;
      EXPECT_EQ(std::isnan(nan[i]), turned) << i;
      if (!turned) {
        EXPECT_EQ(std::memcmp(&nan[i], &plain[i], 8), 0) << i;
      }
    }
    RunSteps(h, {STEP(vexaWholeCasesInEx(h, o.s[0], 1, 2, &o.i[0]), VEXA_E_FILE_READ, " i0=0")});
    vexaCloseRead(h);
  }
}

// What a read of every case gives: the cases' bytes, how many, and the
// code that ended the read. `batch` cases a call, or one a call when 0.
struct Drained {
  std::vector<char> bytes;
  int cases = 0;
  int code = VEXA_OK;
  bool operator==(const Drained&) const = default;
};

Drained Drain(const std::string& path, int batch, int case_bytes) {
  Drained d;
  int h = -1;
  if ((d.code = vexaOpenRead(path.c_str(), &h)) != VEXA_OK) return d;
  std::vector<char> buffer(static_cast<size_t>(case_bytes) * std::max(batch, 1));
  for (;;) {
    int got = 1;
    std::fill(buffer.begin(), buffer.end(), '#');
    d.code = batch == 0 ? vexaWholeCaseIn(h, buffer.data())
                        : vexaWholeCasesIn(h, buffer.data(), batch, &got);
    if (d.code != VEXA_OK && batch == 0) got = 0;
    d.bytes.insert(d.bytes.end(), buffer.begin(), buffer.begin() + got * case_bytes);
    d.cases += got;
    // Nothing is written past the cases read.
    if (std::count(buffer.begin() + got * case_bytes, buffer.end(), '#') !=
        static_cast<long>(buffer.size()) - got * case_bytes) d.code = -1;
    if (d.code != VEXA_OK) break;
  }
  // The index that a read of many cases leaves finds any case again.
  for (int k : {d.cases - 1, d.cases / 3, 0}) {
    if (k < 0 || vexaSeekNextCase(h, k) != VEXA_OK || vexaWholeCaseIn(h, buffer.data()) != VEXA_OK ||
        std::memcmp(buffer.data(), d.bytes.data() + static_cast<size_t>(k) * case_bytes,
                    static_cast<size_t>(case_bytes)) != 0) {
      d.code = -k - 1000;
    }
  }
  vexaCloseRead(h);
  return d;
}

// Many cases a call, written in batches of any size and read back, are the
// cases one call each reads, in every form, across the read window's
// refills, and when the data is cut anywhere near its end. The calls
// refused (before the header: the handle state table's).
TEST(CaseReadingTest, BatchesReadWhatSingleCasesRead) {
  TempDir dir;
  constexpr int kCases = 3000, kCaseBytes = 32;
  std::string cases;
  for (int i = 0; i < kCases; ++i) {
    const double values[3] = {static_cast<double>(i), static_cast<double>(i % 7), i / 3.0};
    char record[kCaseBytes + 1];  // and the NUL of the text
    std::memcpy(record, values, 24);
    std::snprintf(record + 24, 9, "s%-7d", i % 1000);
    cases.append(record, kCaseBytes);
  }
  for (int compression : {VEXA_COMPRESSION_NONE, VEXA_COMPRESSION_BYTECODE, VEXA_COMPRESSION_ZLIB}) {
    const std::string path = dir.File("batches" + std::to_string(compression) + ".vexa");
    int w = -1, n = -1;
    ASSERT_EQ(Each({vexaOpenWrite(path.c_str(), &w), vexaSetCompression(w, compression),
                    vexaSetVarName(w, "whole", 0), vexaSetVarName(w, "code", 0),
                    vexaSetVarName(w, "frac", 0), vexaSetVarName(w, "s", 8), vexaCommitHeader(w)}),
              VEXA_OK);
    RunSteps(w, {STEP(vexaWholeCasesOut(h, o.s[0], -1, &o.i[0]), VEXA_E_FILE_WRITE, " i0=0"),
                 STEP(vexaWholeCasesOut(h, nullptr, 1, &o.i[0]), VEXA_E_FILE_WRITE, " i0=0"),
                 STEP(vexaWholeCasesOut(h, o.s[0], 0, &o.i[0]), VEXA_OK, " i0=0")});
    for (int at = 0, batch = 1; at < kCases; at += n, batch = batch * 7 % 509 + 1) {
      batch = std::min(batch, kCases - at);
      ASSERT_EQ(vexaWholeCasesOut(w, cases.data() + at * kCaseBytes, batch, &n), VEXA_OK);
      EXPECT_EQ(n, batch);
    }
    ASSERT_EQ(vexaCloseWrite(w), VEXA_OK);
    const Drained one = Drain(path, 0, kCaseBytes);
    EXPECT_EQ(std::string(one.bytes.begin(), one.bytes.end()), cases);
    EXPECT_EQ(one.code, VEXA_W_END_OF_DATA);
    for (int batch : {1, 7, 300, 1024, kCases + 5}) {
      EXPECT_TRUE(Drain(path, batch, kCaseBytes) == one) << compression << " " << batch;
    }
    // A cut inside the last cases: the same whole cases, then the same code.
    const std::string bytes = ReadFile(path);
    for (size_t cut : {1, 5, 8, 9, 17, 40, 101}) {
      const std::string cut_path = dir.Write("cut.vexa", bytes.substr(0, bytes.size() - cut));
      const Drained single = Drain(cut_path, 0, kCaseBytes);
      const Drained many = Drain(cut_path, 1024, kCaseBytes);
      EXPECT_TRUE(many == single) << compression << " cut " << cut << ": " << many.cases << "/"
                                  << many.code << " " << single.cases << "/" << single.code;
    }
  }
}

// Cases written from one array per variable, in batches of odd sizes, read
// back as the whole cases they make, in every form and across the batches
// the call assembles: the variables not named missing, a long string whole,
// a NaN as system-missing, a variable named twice with its last array.
// Refused calls write nothing.
TEST(CaseWritingTest, ColumnsMakeWholeCases) {
  constexpr int kCases = 2000;
  // n (numeric), s (A5), lng (A300, in segments), then m and t (A3), not named.
  constexpr size_t kCaseBytes = 8 + 8 + 304 + 8 + 8;
  const double sysmis = vexaSysmisVal();
  const std::string missing(reinterpret_cast<const char*>(&sysmis), 8);
  const std::string empty = missing + std::string(312, ' ') + missing + std::string(8, ' ');
  std::vector<double> n(kCases), wrong(kCases, 42.0);
  std::string s, lng, whole;
  for (int i = 0; i < kCases; ++i) {
    n[i] = i % 11 == 0 ? std::nan("") : i * 0.75;
    const std::string text = std::to_string(i % 977) + "    ";
    std::string one(300, ' ');
    one.replace(static_cast<size_t>(i % 290), text.size(), text);
    s += text.substr(0, 5);
    lng += one;
    whole += std::isnan(n[i]) ? missing : std::string(reinterpret_cast<const char*>(&n[i]), 8);
    whole += text.substr(0, 5) + "   " + one + "    " + missing + std::string(8, ' ');
  }
  const double handles[] = {1, 2, 1, 3}, bad[] = {1, 6}, unknown[] = {0, std::nan("")};
  const void* columns[] = {wrong.data(), s.data(), n.data(), lng.data()};
  const void* gap[] = {n.data(), nullptr};
  TempDir dir;
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.name);
    const std::string path = dir.File("columns.vexa");
    int w = -1, got = -1;
    ASSERT_EQ(Each({OpenWrite(path, form.password, &w), vexaSetCompression(w, form.compression),
                    vexaSetVarName(w, "n", 0), vexaSetVarName(w, "s", 5), vexaSetVarName(w, "lng", 300),
                    vexaSetVarName(w, "m", 0), vexaSetVarName(w, "t", 3), vexaCommitHeader(w)}), VEXA_OK);
    const std::vector<int> refused = {
        vexaColumnsOut(w, 2, bad, columns, 5, &got), vexaColumnsOut(w, 1, unknown, columns, 5, &got),
        vexaColumnsOut(w, 1, unknown + 1, columns, 5, &got), vexaColumnsOut(w, 2, handles, gap, 5, &got),
        vexaColumnsOut(w, 1, nullptr, columns, 5, &got), vexaColumnsOut(w, 4, handles, columns, -1, &got)};
    const int kBad = VEXA_E_BAD_VAR_HANDLE, kWrite = VEXA_E_FILE_WRITE;
    EXPECT_EQ(refused, (std::vector<int>{kBad, kBad, kBad, kWrite, kWrite, kWrite}));
    EXPECT_EQ(got, 0);
    for (int at = 0, batch = 1; at < kCases; at += got, batch = batch * 13 % 1531 + 1) {
      batch = std::min(batch, kCases - at);
      const void* from[] = {wrong.data(), s.data() + at * 5, n.data() + at, lng.data() + at * 300};
      ASSERT_EQ(vexaColumnsOut(w, 4, handles, from, batch, &got), VEXA_OK);
      ASSERT_EQ(got, batch);
    }
    ASSERT_EQ(Each({vexaColumnsOut(w, 0, nullptr, nullptr, 1, &got), vexaCloseWrite(w)}), VEXA_OK);
    std::string cases((kCases + 2) * kCaseBytes, '#');
    ASSERT_EQ(OpenRead(path, form.password, &w), VEXA_OK);
    EXPECT_EQ(vexaWholeCasesIn(w, cases.data(), kCases + 2, &got), VEXA_W_END_OF_DATA);
    vexaCloseRead(w);
    EXPECT_EQ(got, kCases + 1);
    EXPECT_TRUE(cases.substr(0, whole.size() + kCaseBytes) == whole + empty);
  }
}

// Names and a commit need a variable, a compression other than 0 to 2 means 1, and
// a new case starts with every value missing: an empty one reads back so.
// The case being built at the close is not written.
TEST_F(WriteHandleTest, CaseValuesAreCheckedAgainstTheirVariable) {
  RunSteps(handle_, {
      STEP(vexaGetVarNames(h, &o.i[0], &o.names, &o.types), VEXA_E_DICTIONARY,
           " i0=0 names=null types=null"),
      STEP(vexaCommitHeader(h), VEXA_E_NO_VARIABLES, ""),
      STEP(Each({vexaSetVarName(h, "n", 0), vexaSetVarName(h, "s", 8)}), VEXA_OK, ""),
      STEP(vexaSetCompression(h, 7), VEXA_OK, ""),
      STEP(vexaGetCompression(h, &o.i[0]), VEXA_OK, " i0=1"),
      STEP(vexaCommitHeader(h), VEXA_OK, ""),
      STEP(vexaCommitCaseRecord(h), VEXA_OK, ""),
      STEP(vexaSetValueChar(h, 2, "12345678"), VEXA_OK, ""),
      STEP(vexaSetValueChar(h, 2, "123456789"), VEXA_E_VALUE_TOO_LONG, ""),
      STEP(vexaSetValueChar(h, 1, "x"), VEXA_E_WRONG_TYPE, ""),
      STEP(vexaSetValueNumeric(h, 2, 1.0), VEXA_E_WRONG_TYPE, ""),
      STEP(vexaSetValueNumeric(h, 0, 1.0), VEXA_E_BAD_VAR_HANDLE, ""),
      // Also refused after a call that succeeded, with no detail to clear.
      STEP(Each({vexaSetValueNumeric(h, 1, 7.5), vexaSetValueNumeric(h, 3, 1)}),
           VEXA_E_BAD_VAR_HANDLE, ""),
      STEP(Each({vexaSetValueNumeric(h, 1, 7.5), vexaSetValueNumeric(h, NAN, 1)}),
           VEXA_E_BAD_VAR_HANDLE, ""),
      STEP(Each({vexaSetValueNumeric(h, 1, 7.5), vexaSetValueNumeric(h, 2, 1)}),
           VEXA_E_WRONG_TYPE, ""),
      STEP(Each({vexaSetValueNumeric(h, 1.5, 6.25), vexaCommitCaseRecord(h)}), VEXA_OK, ""),
      STEP(vexaCloseWrite(h), VEXA_OK, ""),
  });
  ASSERT_EQ(vexaOpenRead(dir_.File("new.vexa").c_str(), &handle_), VEXA_OK);
  RunSteps(handle_, {
      STEP(vexaReadCaseRecord(h), VEXA_OK, ""),
      STEP(vexaGetValueNumeric(h, 1, &o.d[0]), VEXA_OK, " d0=-1.7976931348623157e+308"),
      STEP(vexaGetValueChar(h, 2, o.s[0], 9), VEXA_OK, " s0=        "),
      STEP(Each({vexaReadCaseRecord(h), vexaGetValueNumeric(h, 1, &o.d[0])}), VEXA_OK, " d0=6.25"),
      STEP(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA, ""),
  });
}


}  // namespace
}  // namespace vexa::testing
