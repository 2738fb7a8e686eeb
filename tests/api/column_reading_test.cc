// Reading chosen variables into arrays of their own: the values equal those
// of the whole cases read in batches, in every form and byte order, in
// batches of any size, across the segments of very long strings and up to a
// damaged case; the calls refused.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

// A variable of an open file: its handle, where it lies in a case, its width.
struct Var {
  double handle;
  size_t offset;
  size_t width;  // 0: a number
  size_t Bytes() const { return width == 0 ? 8 : width; }
};

std::vector<Var> Variables(int h) {
  int count = 0;
  char** names = nullptr;
  int* types = nullptr;
  EXPECT_EQ(vexaGetVarNames(h, &count, &names, &types), VEXA_OK);
  std::vector<Var> vars;
  for (size_t i = 0, offset = 0; i < static_cast<size_t>(count); ++i) {
    Var v{0, offset, static_cast<size_t>(types[i])};
    EXPECT_EQ(vexaGetVarHandle(h, names[i], &v.handle), VEXA_OK);
    offset += v.width == 0 ? 8 : std::max<size_t>(1, (v.width + 7) / 8) * 8;
    vars.push_back(v);
  }
  vexaFreeVarNames(names, types, count);
  return vars;
}

// The rest of a file: each chosen variable's bytes, case after case, the
// cases read and the code that ended the reading.
struct Read {
  std::vector<std::string> columns;
  int cases = 0;
  int code = VEXA_OK;
  bool operator==(const Read&) const = default;
};

// By whole cases (by_columns false) or by columns, `batch` cases a call,
// with the options given. A column call that writes past the cases it
// reports gives code -1.
Read ReadRest(int h, const std::vector<Var>& chosen, int batch, bool by_columns,
              int options = VEXA_CASES_NAN_FOR_SYSMIS) {
  const std::vector<Var> all = Variables(h);
  const size_t case_bytes = all.back().offset + std::max<size_t>(8, (all.back().Bytes() + 7) / 8 * 8);
  Read r{std::vector<std::string>(chosen.size())};
  std::vector<std::string> arrays;
  for (const Var& v : chosen) arrays.emplace_back(v.Bytes() * static_cast<size_t>(batch), '#');
  std::vector<void*> pointers;
  for (std::string& a : arrays) pointers.push_back(a.data());
  std::vector<double> handles;
  for (const Var& v : chosen) handles.push_back(v.handle);
  std::string cases(case_bytes * static_cast<size_t>(batch), '#');
  while (r.code == VEXA_OK) {
    int got = -1;
    r.code = by_columns ? vexaColumnsIn(h, static_cast<int>(chosen.size()), handles.data(),
                                        pointers.data(), batch, options, &got)
                        : vexaWholeCasesInEx(h, cases.data(), batch, options, &got);
    for (size_t k = 0; k < chosen.size(); ++k) {
      const size_t n = chosen[k].Bytes();
      for (size_t i = 0; i < static_cast<size_t>(got); ++i) {
        r.columns[k] += by_columns ? arrays[k].substr(i * n, n)
                                   : cases.substr(i * case_bytes + chosen[k].offset, n);
      }
      if (by_columns && arrays[k].find_first_not_of('#', got * n) != std::string::npos) r.code = -1;
      arrays[k].assign(arrays[k].size(), '#');
    }
    r.cases += got;
  }
  return r;
}

// A file the library writes: numbers with system-missing among them, texts
// of 8, 300 (in two segments) and 3 bytes.
std::string Written(const TempDir& dir, int compression) {
  const std::string path = dir.File("written" + std::to_string(compression) + ".vexa");
  int h = -1;
  EXPECT_EQ(Each({vexaOpenWrite(path.c_str(), &h), vexaSetCompression(h, compression),
                  vexaSetVarName(h, "n", 0), vexaSetVarName(h, "s", 8),
                  vexaSetVarName(h, "long", 300), vexaSetVarName(h, "m", 0),
                  vexaSetVarName(h, "t", 3), vexaCommitHeader(h)}),
            VEXA_OK);
  for (int i = 0; i < 700; ++i) {
    char text[301];
    std::snprintf(text, sizeof text, "%0*d", 250 + i % 51, i);
    EXPECT_EQ(Each({vexaSetValueNumeric(h, 1, i % 5 ? i : vexaSysmisVal()),
                    vexaSetValueChar(h, 2, std::to_string(i % 9).c_str()),
                    vexaSetValueChar(h, 3, text), vexaSetValueNumeric(h, 4, i / 3.0),
                    vexaSetValueChar(h, 5, i % 2 ? "ab" : "xyz"), vexaCommitCaseRecord(h)}),
              VEXA_OK);
  }
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
  return path;
}

// A file of another writer in either byte order, plain, byte-code or zlib.
std::string Built(const TempDir& dir, bool big, int compression) {
  SysFileBuilder b(big);
  b.Header({.magic = compression == 2 ? "$FL3" : "$FL2", .compression = compression});
  b.NumericVar("a").StringVar("s", 8).NumericVar("b").MachineInts().MachineFloats().End();
  std::vector<std::vector<CaseSlot>> cases;
  for (int i = 0; i < 300; ++i) {
    const double a = i % 4 ? i * 0.5 : vexaSysmisVal();
    cases.push_back({CaseSlot::Number(a), CaseSlot::Text("c" + std::to_string(i % 7)),
                     CaseSlot::Number(-i)});
    if (compression == 0) b.CaseNumber(a).CaseText("c" + std::to_string(i % 7), 8).CaseNumber(-i);
  }
  if (compression > 0) b.CompressedCases(cases);
  if (compression == 2) b.ZlibCases(512);
  return dir.Write("built" + std::to_string(big) + std::to_string(compression) + ".vexa", b.Bytes());
}

TEST(ColumnReadingTest, ColumnsHoldTheValuesOfWholeCases) {
  TempDir dir;
  std::vector<std::string> paths;
  for (int compression : {0, 1, 2}) {
    paths.push_back(Written(dir, compression));
    for (bool big : {false, true}) paths.push_back(Built(dir, big, compression));
  }
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    int h = -1;
    ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
    // Every variable from the last to the first, and the first again.
    std::vector<Var> chosen = Variables(h);
    std::reverse(chosen.begin(), chosen.end());
    chosen.push_back(chosen.back());
    const Read whole = ReadRest(h, chosen, 64, false);
    EXPECT_EQ(whole.code, VEXA_W_END_OF_DATA);
    for (int batch : {1, 7, 1000}) {
      ASSERT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
      EXPECT_TRUE(ReadRest(h, chosen, batch, true) == whole) << batch;
    }
    ASSERT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
    const Read as_stored = ReadRest(h, chosen, 64, false, 0);
    ASSERT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
    EXPECT_TRUE(ReadRest(h, chosen, 50, true, 0) == as_stored);
    EXPECT_FALSE(as_stored == whole);  // system-missing is among the values
    // No variables: the cases are passed over; the read goes on after them.
    int got = -1;
    ASSERT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
    ASSERT_EQ(vexaColumnsIn(h, 0, nullptr, nullptr, 250, 0, &got), VEXA_OK);
    EXPECT_EQ(got, 250);
    const Read rest = ReadRest(h, chosen, 100, true);
    EXPECT_EQ(rest.cases, whole.cases - 250);
    EXPECT_EQ(rest.columns[0], whole.columns[0].substr(250 * chosen[0].Bytes()));
    EXPECT_EQ(Each({vexaSeekNextCase(h, whole.cases - 1),
                    vexaColumnsIn(h, 0, nullptr, nullptr, 5, 0, &got)}),
              VEXA_W_END_OF_DATA);
    EXPECT_EQ(got, 1);
    vexaCloseRead(h);
  }
  // Data cut anywhere near its end: the same cases, then the same code.
  for (const std::string& path : {paths[0], paths[3]}) {
    const std::string bytes = ReadFile(path);
    for (size_t cut : {1, 9, 40, 333}) {
      int h = -1;
      ASSERT_EQ(vexaOpenRead(dir.Write("cut.vexa", bytes.substr(0, bytes.size() - cut)).c_str(), &h),
                VEXA_OK);
      const std::vector<Var> chosen = Variables(h);
      const Read whole = ReadRest(h, chosen, 128, false);
      ASSERT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
      EXPECT_TRUE(ReadRest(h, chosen, 1000, true) == whole) << path << " cut " << cut;
      vexaCloseRead(h);
    }
  }
}

double kFirst[] = {1.0};
double kNoVariable[] = {0.0};
char column[64];
void* kColumn[] = {column};
void* kNullColumn[] = {nullptr};

TEST(ColumnReadingTest, CallsRefused) {
  TempDir dir;
  int h = -1;
  ASSERT_EQ(vexaOpenRead(Written(dir, 1).c_str(), &h), VEXA_OK);
  RunSteps(h, {
      STEP(vexaColumnsIn(99, 1, kFirst, kColumn, 1, 0, &o.i[0]), VEXA_E_BAD_HANDLE, " i0=0"),
      STEP(vexaColumnsIn(h, 1, kNoVariable, kColumn, 1, 0, &o.i[0]), VEXA_E_BAD_VAR_HANDLE, " i0=0"),
      STEP(vexaColumnsIn(h, 1, kFirst, kNullColumn, 1, 0, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
      STEP(vexaColumnsIn(h, 1, nullptr, kColumn, 1, 0, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
      STEP(vexaColumnsIn(h, 1, kFirst, nullptr, 1, 0, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
      STEP(vexaColumnsIn(h, 1, kFirst, kColumn, 1, 0, nullptr), VEXA_E_FILE_READ, ""),
      STEP(vexaColumnsIn(h, -1, kFirst, kColumn, 1, 0, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
      STEP(vexaColumnsIn(h, 1, kFirst, kColumn, -1, 0, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
      STEP(vexaColumnsIn(h, 1, kFirst, kColumn, 1, 2, &o.i[0]), VEXA_E_FILE_READ, " i0=0"),
      STEP(vexaColumnsIn(h, 1, kFirst, kColumn, 0, 0, &o.i[0]), VEXA_OK, " i0=0"),
  });
  vexaCloseRead(h);
  int w = -1;
  ASSERT_EQ(vexaOpenWrite(dir.File("w.vexa").c_str(), &w), VEXA_OK);
  RunSteps(w, {STEP(vexaColumnsIn(h, 1, kFirst, kColumn, 1, 0, &o.i[0]), VEXA_E_OPENED_FOR_WRITE,
                    " i0=0")});
  vexaAbandonFile(w);
}

}  // namespace
}  // namespace vexa::testing
