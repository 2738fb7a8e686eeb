// Files written through the C API. Each scenario writes a small file whose
// bytes must equal those of tests/data/golden/<scenario>.vexa, save for the
// creation date and time in the header; then the file is read back: its
// variables and every case as written (the copied dictionary's bytes show
// what the reader took of labels and missing values from a file the writer
// made; the getters are the dictionary tests'). Together the scenarios take
// the writer through every variable kind, long and colliding names, labels,
// missing values, display properties, the weight, documents, the file label,
// caller extension records, both compressions, a copied dictionary and
// appends.
//
// After a deliberate change of the output, rewrite the files with
//   VEXA_REGENERATE_GOLDEN=1 build/tests/api_tests --gtest_filter='*GoldenFileTest*'
// and review the difference before committing it.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "api/case_table.h"
#include "support/sysfile_builder.h"
#include "text/text_test_util.h"

namespace vexa::testing {
namespace {

// The header's date[9] and time[8] fields: they follow the clock.
constexpr size_t kStampOffset = 92;
constexpr size_t kStampSize = 17;

// What the scenario under way defined and wrote, to be read back.
CaseTable g_table;

void DefineVars(int h, std::vector<Var> vars, const std::vector<Step>& steps = {}) {
  g_table.vars = std::move(vars);
  EXPECT_EQ(g_table.Define(h), VEXA_OK);
  RunSteps(h, steps);
}

void WriteCase(int h, const Row& values) {
  EXPECT_EQ(CaseTable::WriteCase(h, values), VEXA_OK);
  g_table.rows.push_back(values);
}

// A new file with the dictionary `define` gives it, committed.
int Begin(const std::string& path, int compression, void (*define)(int)) {
  int h = -1;
  EXPECT_EQ(vexaOpenWrite(path.c_str(), &h), VEXA_OK);
  define(h);
  EXPECT_EQ(Each({vexaSetCompression(h, compression), vexaCommitHeader(h)}), VEXA_OK);
  return h;
}

// --- Numbers: compressible integers, literals and the special values ---

void NumbersDictionary(int h) {
  DefineVars(h, {{"id", 0}, {"score", 0}, {"ratio", 0}, {"when", 0}},
             {STEP(vexaSetVarPrintFormat(h, "score", 5, 0, 3), VEXA_OK, ""),
              STEP(vexaSetVarWriteFormat(h, "ratio", 5, 4, 12), VEXA_OK, ""),
              STEP(vexaSetVarPrintFormat(h, "when", 20, 0, 11), VEXA_OK, "")});
}

void Numbers(const std::string& path, int compression, const TempDir&) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double kValues[] = {0.0, 1.0, -99.0, -100.0, 151.0, 152.0, 0.5, -0.0,
                            std::numeric_limits<double>::quiet_NaN(), kInf, -kInf, vexaSysmisVal(),
                            -1.7976931348623155e308, 1.7976931348623157e308, 1234.5678, 1e100};
  int h = Begin(path, compression, NumbersDictionary);
  for (int c = 0; c < 8; ++c) {
    Row row{double(c)};
    for (int v = 1; v < 4; ++v) row.push_back(kValues[(c * 3 + v) % 16]);
    WriteCase(h, row);
  }
  const double whole[4] = {9, 12960000000.0, 2.5, 12960000000.0};
  // A case of every value system-missing, then a whole case.
  EXPECT_EQ(Each({vexaCommitCaseRecord(h), vexaWholeCaseOut(h, whole), vexaCloseWrite(h)}), 0);
  g_table.rows.insert(g_table.rows.end(), {Row(4, vexaSysmisVal()), Row(whole, whole + 4)});
}

// --- Strings of every width class, very long ones split into segments ---

void StringsDictionary(int h) {
  DefineVars(h, {{"s1", 1}, {"s8", 8}, {"s9", 9}, {"s255", 255},
                 {"s300", 300}, {"s1000", 1000}, {"n", 0}});
}

void Strings(const std::string& path, int compression, const TempDir&) {
  int h = Begin(path, compression, StringsDictionary);
  WriteCase(h, {"", "", "", "", "", "", 0.0});
  WriteCase(h, {"a", "abc", "nine char", "  lead", "x", "short", 1.0});
  // Three-byte characters across the segment edges.
  const std::string euro = "\xE2\x82\xAC";
  WriteCase(h, {"z", "eight by", "ninebytes", Repeat("0123456789", 25),
                "a" + Repeat(euro, 99), "z" + Repeat(euro + "ab", 199), 2.0});
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
}

// In code-page mode with a single-byte code page, segments are cut by bytes,
// not on whole characters.
void SegmentsByBytes(const std::string& path, int compression, const TempDir&) {
  int h = Begin(path, compression, [](int d) { DefineVars(d, {{"s300", 300}, {"n", 0}}); });
  WriteCase(h, {"a" + Repeat("\xE2\x82\xAC", 99), 1.0});
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
}

// --- Names: long, colliding in their first 8 bytes, display properties ---

void NamesDictionary(int h) {
  DefineVars(
      h,
      {{"respondent_identifier", 0}, {"respondent_id_2", 0}, {"V2_A", 0}, {"income_2019", 0},
       {"income_2020", 0}, {"total___sum", 0}, {"gr\xC3\xB6\xC3\x9F" "e_in_cm", 0},
       {"comment_first", 300}, {"comment_second", 300}, {"weight", 0}},
      {STEP(Each({vexaSetVarMeasureLevel(h, "respondent_identifier", VEXA_MEASURE_NOMINAL),
                  vexaSetVarMeasureLevel(h, "income_2019", VEXA_MEASURE_SCALE),
                  vexaSetVarMeasureLevel(h, "income_2020", VEXA_MEASURE_ORDINAL),
                  vexaSetVarMeasureLevel(h, "V2_A", VEXA_MEASURE_FLAG),
                  vexaSetVarMeasureLevel(h, "total___sum", VEXA_MEASURE_TYPELESS),
                  vexaSetVarMeasureLevel(h, "comment_first", VEXA_MEASURE_NOMINAL),
                  vexaSetVarAlignment(h, "comment_first", VEXA_ALIGN_CENTER),
                  vexaSetVarAlignment(h, "income_2019", VEXA_ALIGN_LEFT),
                  vexaSetVarAlignment(h, "comment_second", VEXA_ALIGN_RIGHT),
                  vexaSetVarColumnWidth(h, "comment_first", 50),
                  vexaSetVarColumnWidth(h, "income_2019", 12),
                  vexaSetVarRole(h, "weight", VEXA_ROLE_FREQUENCY),
                  vexaSetCaseWeightVar(h, "weight")}),
            0, "")});
}

void Names(const std::string& path, int compression, const TempDir&) {
  int h = Begin(path, compression, NamesDictionary);
  // The short names the commit gave the names that collide in 8 bytes.
  char a[9], b[9];
  EXPECT_EQ(Each({vexaGetVarCompatName(h, "respondent_identifier", a),
                  vexaGetVarCompatName(h, "respondent_id_2", b)}), VEXA_OK);
  EXPECT_EQ(std::string(a) + " " + b, "RESPONDE V2_B");
  WriteCase(h, {1.0, 2.0, 3.0, 40000.0, 41000.5, 7.0, 180.0, "first",
                Repeat("second ", 42), 1.5});
  WriteCase(h, {2.0, -1.0, 0.0, 0.0, 0.0, 0.0, 175.0, "", "", 0.5});
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
}

// --- Labels and missing values, on short, long and very long strings ---

const char* kShared[] = {"q1", "q2"};
const double kSharedValues[] = {1, 2, 9};
const char* kSharedLabels[] = {"yes", "no", "don't know"};
const std::string kLongLabel = Repeat("remark ", 42), kOld = Repeat("old ", 32);

void LabelsDictionary(int h) {
  DefineVars(
      h,
      {{"age", 0}, {"q1", 0}, {"code", 3}, {"city", 8}, {"remark", 20}, {"essay", 300},
       {"q2", 0}, {"income", 0}},
      {STEP(Each({vexaSetVarLabel(h, "age", "Age in years"),
                  vexaSetVarLabel(h, "q1", "Gr\xC3\xB6\xC3\x9F" "e der Stadt"),
                  vexaSetVarLabel(h, "essay", "Free text")}),
            0, ""),
       STEP(vexaSetVarLabel(h, "remark", kLongLabel.c_str()), VEXA_W_LABEL_TRUNCATED, ""),
       STEP(vexaSetVarNValueLabel(h, "age", 0, "newborn"), 0, ""),
       STEP(vexaSetVarNValueLabel(h, "age", 99, kOld.c_str()), VEXA_W_VALUE_LABEL_TRUNCATED, ""),
       STEP(Each({vexaSetVarNValueLabels(h, kShared, 2, kSharedValues, kSharedLabels, 3),
                  vexaSetVarNValueLabel(h, "income", -1.5, "negative fraction"),
                  vexaSetVarCValueLabel(h, "code", "a", "alpha"),
                  vexaSetVarCValueLabel(h, "code", "bb", "beta"),
                  vexaSetVarCValueLabel(h, "city", "Paris", "capital"),
                  vexaSetVarCValueLabel(h, "city", "Lyon", "second"),
                  vexaSetVarCValueLabel(h, "remark", "yes please", "agreed"),
                  vexaSetVarCValueLabel(h, "remark", "no", "refused"),
                  vexaSetVarCValueLabel(h, "essay", "short essay", "too short"),
                  vexaSetVarNMissingValues(h, "age", -3, 100, 200, 0),
                  vexaSetVarNMissingValues(h, "q1", 3, 7, 8, 9),
                  vexaSetVarNMissingValues(h, "q2", 1, -1, 0, 0),
                  vexaSetVarNMissingValues(h, "income", -2, 90, 99, 0),
                  vexaSetVarCMissingValues(h, "code", 2, "x", "yy", nullptr),
                  vexaSetVarCMissingValues(h, "city", 3, "NA", "--", "none of them"),
                  vexaSetVarCMissingValues(h, "remark", 1, "n/a", nullptr, nullptr)}),
            0, "")});
}

void Labels(const std::string& path, int compression, const TempDir&) {
  int h = Begin(path, compression, LabelsDictionary);
  WriteCase(h, {34.0, 1.0, "a", "Paris", "yes please", "short essay", 9.0, 95.0});
  WriteCase(h, {0.0, 2.0, "bb", "Lyon", "no", Repeat("words ", 50), -1.0, -1.5});
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
}

// --- File information: label, text info, documents, caller records ---

const int kInts[3] = {1, -2, 0x01020304};
const double kDoubles[2] = {0.25, -1e300};

void FileInfo(const std::string& path, int compression, const TempDir& scratch) {
  const int documented = OpenBuilt(scratch, SysFileBuilder().Header().NumericVar("a")
                                                .Document({"First line of notes.", "Second line."})
                                                .End().Bytes());
  int h = -1;
  EXPECT_EQ(vexaOpenWrite(path.c_str(), &h), VEXA_OK);
  DefineVars(h, {{"a", 0}, {"b", 4}});
  EXPECT_EQ(Each({vexaCopyDocuments(documented, h), vexaCloseRead(documented),
                  vexaSetIdString(h, Repeat("File label ", 6).c_str()),  // cut to 64
                  vexaSetTextInfo(h, "Written by the golden scenario"),
                  vexaSetExtensionData(h, 2, 4, 3, kInts), vexaSetExtensionData(h, 12, 4, 3, kInts),
                  vexaSetExtensionData(h, 12, 4, 0, kInts),  // removed again
                  vexaSetExtensionData(h, 23, 1, 11, "caller text"),
                  vexaSetExtensionData(h, 40, 8, 2, kDoubles), vexaSetCompression(h, compression),
                  vexaCommitHeader(h), vexaCloseWrite(h)}),  // no cases
            VEXA_OK);
}

// --- A dictionary copied from another file ---

void Copy(const std::string& path, int compression, const TempDir& scratch) {
  const std::string source = scratch.File("source.vexa");
  EXPECT_EQ(vexaCloseWrite(Begin(source, 0, LabelsDictionary)), VEXA_OK);
  int h = -1;
  ASSERT_EQ(vexaOpenWriteCopy(path.c_str(), source.c_str(), &h), VEXA_OK);
  EXPECT_EQ(Each({vexaSetCompression(h, compression), vexaCommitHeader(h)}), VEXA_OK);
  WriteCase(h, {1.0, 9.0, "c", "Rome", "maybe", "", 2.0, 50.0});
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
}

// --- Appending: three cases written, four more added after a close ---

void AppendDictionary(int h) { DefineVars(h, {{"id", 0}, {"name", 12}, {"score", 0}}); }

void Append(const std::string& path, int compression, const TempDir&) {
  auto row = [](int c) -> Row {
    return {double(c), std::string("case ") + std::to_string(c), c % 2 ? c * 0.25 : c * 10.0};
  };
  int h = Begin(path, compression, AppendDictionary);
  for (int c = 0; c < 3; ++c) WriteCase(h, row(c));  // a block partly filled
  EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
  ASSERT_EQ(vexaOpenAppend(path.c_str(), &h), VEXA_OK);
  for (int c = 3; c < 7; ++c) WriteCase(h, row(c));
  EXPECT_EQ(vexaCloseAppend(h), VEXA_OK);
}

struct Scenario {
  const char* name;
  void (*write)(const std::string& path, int compression, const TempDir& scratch);
  int compression;
  bool code_page = false;                   // else UTF-8 mode
};

const Scenario kScenarios[] = {
    {"numbers_plain", Numbers, 0},          {"numbers_bytecode", Numbers, 1},
    {"strings_plain", Strings, 0},          {"strings_bytecode", Strings, 1},
    {"segments_code_page", SegmentsByBytes, 0, true},
    {"names_display", Names, 1},            {"labels_missing", Labels, 0},
    {"file_info", FileInfo, 1},             {"copied_dictionary", Copy, 1},
    {"append_plain", Append, 0},            {"append_bytecode", Append, 1},
};

void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

void BlankStamp(std::string& bytes) {
  if (bytes.size() >= kStampOffset + kStampSize) {
    bytes.replace(kStampOffset, kStampSize, kStampSize, ' ');
  }
}

class GoldenFileTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(GoldenFileTest, WriterOutputIsUnchangedAndReadsBack) {
  const Scenario& scenario = GetParam();
  const text::testing::ScopedInterfaceMode mode(
      scenario.code_page ? text::InterfaceMode::kCodePage : text::InterfaceMode::kUtf8);
  // Code-page scenarios write in windows-1252, whatever the machine's locale.
  std::optional<text::testing::ScopedCodePage> code_page;
  if (scenario.code_page) code_page.emplace("windows-1252");
  TempDir dir;
  const std::string fresh = dir.File(std::string(scenario.name) + ".vexa");
  g_table = {};
  scenario.write(fresh, scenario.compression, dir);
  ASSERT_FALSE(HasFailure());
  std::string got = ReadFile(fresh);

  const std::filesystem::path golden =
      std::filesystem::path(VEXA_GOLDEN_DIR) / (std::string(scenario.name) + ".vexa");
  const char* regenerate = std::getenv("VEXA_REGENERATE_GOLDEN");
  if (regenerate != nullptr && std::strcmp(regenerate, "1") == 0) {
    std::filesystem::create_directories(golden.parent_path());
    std::ofstream(golden, std::ios::binary).write(got.data(), std::streamsize(got.size()));
    GTEST_SKIP() << "wrote " << golden;
  }
  std::string want = ReadFile(golden);  // empty when there is none: a difference at 0
  BlankStamp(got);
  BlankStamp(want);
  if (got != want) {
    const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first;
    ADD_FAILURE() << "first difference at byte offset " << at - got.begin() << " (file "
                  << got.size() << " bytes, golden " << want.size() << ")";
  }
  g_table.ExpectReadsBack(fresh);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenFileTest, ::testing::ValuesIn(kScenarios), kByName);

}  // namespace
}  // namespace vexa::testing
