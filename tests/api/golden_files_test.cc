// Golden files: each scenario writes a small file through the C API, and its
// bytes must equal those of tests/data/golden/<scenario>.vexa, save for the
// creation date and time in the header. Together the scenarios take the
// writer through every variable kind, long and colliding names, labels,
// missing values, display properties, the weight, documents, the file label,
// caller extension records, both compressions, a copied dictionary and
// appends.
//
// After a deliberate change of the output, rewrite the files with
//   VEXA_REGENERATE_GOLDEN=1 build/tests/api_tests --gtest_filter='*GoldenFileTest*'
// and review the difference before committing it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/sysfile_builder.h"
#include "support/temp_dir.h"
#include "text/text_test_util.h"
#include "vexaio.h"

namespace vexa::testing {
namespace {

#define EXPECT_OK(call) EXPECT_EQ((call), VEXA_OK) << #call

// The header's date[9] and time[8] fields: they follow the clock.
constexpr size_t kStampOffset = 92;
constexpr size_t kStampSize = 17;

// A number or a text for one variable of a case.
struct Value {
  Value(double n) : number(n) {}
  Value(const char* t) : text(t), is_text(true) {}
  Value(std::string t) : text(std::move(t)), is_text(true) {}
  double number = 0;
  std::string text;
  bool is_text = false;
};

struct Var {
  const char* name;
  int type;
};

void DefineVars(int h, std::initializer_list<Var> vars) {
  for (const Var& v : vars) EXPECT_OK(vexaSetVarName(h, v.name, v.type));
}

// Sets one value per variable in dictionary order and writes the case.
void WriteCase(int h, const std::vector<Value>& values) {
  double vh = 1;
  for (const Value& v : values) {
    if (v.is_text) {
      EXPECT_OK(vexaSetValueChar(h, vh, v.text.c_str()));
    } else {
      EXPECT_OK(vexaSetValueNumeric(h, vh, v.number));
    }
    ++vh;
  }
  EXPECT_OK(vexaCommitCaseRecord(h));
}

// A new file with the dictionary `define` gives it, committed.
int Begin(const std::string& path, int compression, void (*define)(int)) {
  int h = -1;
  EXPECT_OK(vexaOpenWrite(path.c_str(), &h));
  define(h);
  EXPECT_OK(vexaSetCompression(h, compression));
  EXPECT_OK(vexaCommitHeader(h));
  return h;
}

// `width` bytes of text: `unit` repeated, cut on a whole unit, then blanks.
std::string Fill(int width, const std::string& unit) {
  std::string text;
  while (text.size() + unit.size() <= static_cast<size_t>(width)) text += unit;
  return text;
}

// --- Numbers: compressible integers, literals and the special values ---

void NumbersDictionary(int h) {
  DefineVars(h, {{"id", 0}, {"score", 0}, {"ratio", 0}, {"when", 0}});
  EXPECT_OK(vexaSetVarPrintFormat(h, "score", 5, 0, 3));
  EXPECT_OK(vexaSetVarWriteFormat(h, "ratio", 5, 4, 12));
  EXPECT_OK(vexaSetVarPrintFormat(h, "when", 20, 0, 11));
}

void Numbers(const std::string& path, int compression) {
  const double kValues[] = {0.0, 1.0, -99.0, -100.0, 151.0, 152.0, 0.5, -0.0,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            vexaSysmisVal(), -1.7976931348623155e308,
                            1.7976931348623157e308, 1234.5678, 1e100};
  int h = Begin(path, compression, NumbersDictionary);
  for (int c = 0; c < 8; ++c) {
    std::vector<Value> row{double(c)};
    for (int v = 1; v < 4; ++v) row.push_back(kValues[(c * 3 + v) % 16]);
    WriteCase(h, row);
  }
  EXPECT_OK(vexaCommitCaseRecord(h));  // every value system-missing
  const double whole[4] = {9, 12960000000.0, 2.5, 12960000000.0};
  EXPECT_OK(vexaWholeCaseOut(h, whole));
  EXPECT_OK(vexaCloseWrite(h));
}

// --- Strings of every width class, very long ones split into segments ---

void StringsDictionary(int h) {
  DefineVars(h, {{"s1", 1}, {"s8", 8}, {"s9", 9}, {"s255", 255},
                 {"s300", 300}, {"s1000", 1000}, {"n", 0}});
}

void Strings(const std::string& path, int compression) {
  int h = Begin(path, compression, StringsDictionary);
  WriteCase(h, {"", "", "", "", "", "", 0.0});
  WriteCase(h, {"a", "abc", "nine char", "  lead", "x", "short", 1.0});
  // Three-byte characters across the segment edges.
  const std::string euro = "\xE2\x82\xAC";
  WriteCase(h, {"z", "eight by", "ninebytes", Fill(255, "0123456789"),
                "a" + Fill(299, euro), "z" + Fill(999, euro + "ab"), 2.0});
  EXPECT_OK(vexaCloseWrite(h));
}

// In code-page mode with a single-byte code page, segments are cut by bytes,
// not on whole characters.
void SegmentsByBytes(const std::string& path, const TempDir&) {
  int h = Begin(path, 0, [](int d) { DefineVars(d, {{"s300", 300}, {"n", 0}}); });
  WriteCase(h, {"a" + Fill(299, "\xE2\x82\xAC"), 1.0});
  EXPECT_OK(vexaCloseWrite(h));
}

// --- Names: long, colliding in their first 8 bytes, display properties ---

void NamesDictionary(int h) {
  DefineVars(h, {{"respondent_identifier", 0}, {"respondent_id_2", 0},
                 {"V2_A", 0}, {"income_2019", 0}, {"income_2020", 0},
                 {"total___sum", 0}, {"gr\xC3\xB6\xC3\x9F" "e_in_cm", 0},
                 {"comment_first", 300}, {"comment_second", 300},
                 {"weight", 0}});
  EXPECT_OK(vexaSetVarMeasureLevel(h, "respondent_identifier", VEXA_MEASURE_NOMINAL));
  EXPECT_OK(vexaSetVarMeasureLevel(h, "income_2019", VEXA_MEASURE_SCALE));
  EXPECT_OK(vexaSetVarMeasureLevel(h, "income_2020", VEXA_MEASURE_ORDINAL));
  EXPECT_OK(vexaSetVarMeasureLevel(h, "V2_A", VEXA_MEASURE_FLAG));
  EXPECT_OK(vexaSetVarMeasureLevel(h, "total___sum", VEXA_MEASURE_TYPELESS));
  EXPECT_OK(vexaSetVarMeasureLevel(h, "comment_first", VEXA_MEASURE_NOMINAL));
  EXPECT_OK(vexaSetVarAlignment(h, "comment_first", VEXA_ALIGN_CENTER));
  EXPECT_OK(vexaSetVarAlignment(h, "income_2019", VEXA_ALIGN_LEFT));
  EXPECT_OK(vexaSetVarAlignment(h, "comment_second", VEXA_ALIGN_RIGHT));
  EXPECT_OK(vexaSetVarColumnWidth(h, "comment_first", 50));
  EXPECT_OK(vexaSetVarColumnWidth(h, "income_2019", 12));
  EXPECT_OK(vexaSetVarRole(h, "weight", VEXA_ROLE_FREQUENCY));
  EXPECT_OK(vexaSetCaseWeightVar(h, "weight"));
}

void Names(const std::string& path, const TempDir&) {
  int h = Begin(path, 1, NamesDictionary);
  WriteCase(h, {1.0, 2.0, 3.0, 40000.0, 41000.5, 7.0, 180.0, "first",
                Fill(300, "second "), 1.5});
  WriteCase(h, {2.0, -1.0, 0.0, 0.0, 0.0, 0.0, 175.0, "", "", 0.5});
  EXPECT_OK(vexaCloseWrite(h));
}

// --- Labels and missing values, on short, long and very long strings ---

void LabelsDictionary(int h) {
  DefineVars(h, {{"age", 0}, {"q1", 0}, {"code", 3}, {"city", 8},
                 {"remark", 20}, {"essay", 300}, {"q2", 0}, {"income", 0}});
  EXPECT_OK(vexaSetVarLabel(h, "age", "Age in years"));
  EXPECT_OK(vexaSetVarLabel(h, "q1", "Gr\xC3\xB6\xC3\x9F" "e der Stadt"));
  EXPECT_OK(vexaSetVarLabel(h, "essay", "Free text"));
  EXPECT_EQ(vexaSetVarLabel(h, "remark", Fill(300, "remark ").c_str()),
            VEXA_W_LABEL_TRUNCATED);

  EXPECT_OK(vexaSetVarNValueLabel(h, "age", 0, "newborn"));
  EXPECT_EQ(vexaSetVarNValueLabel(h, "age", 99, Fill(130, "old ").c_str()),
            VEXA_W_VALUE_LABEL_TRUNCATED);
  const char* shared[] = {"q1", "q2"};
  const double values[] = {1, 2, 9};
  const char* labels[] = {"yes", "no", "don't know"};
  EXPECT_OK(vexaSetVarNValueLabels(h, shared, 2, values, labels, 3));
  EXPECT_OK(vexaSetVarNValueLabel(h, "income", -1.5, "negative fraction"));
  EXPECT_OK(vexaSetVarCValueLabel(h, "code", "a", "alpha"));
  EXPECT_OK(vexaSetVarCValueLabel(h, "code", "bb", "beta"));
  EXPECT_OK(vexaSetVarCValueLabel(h, "city", "Paris", "capital"));
  EXPECT_OK(vexaSetVarCValueLabel(h, "city", "Lyon", "second"));
  EXPECT_OK(vexaSetVarCValueLabel(h, "remark", "yes please", "agreed"));
  EXPECT_OK(vexaSetVarCValueLabel(h, "remark", "no", "refused"));
  EXPECT_OK(vexaSetVarCValueLabel(h, "essay", "short essay", "too short"));

  EXPECT_OK(vexaSetVarNMissingValues(h, "age", -3, 100, 200, 0));
  EXPECT_OK(vexaSetVarNMissingValues(h, "q1", 3, 7, 8, 9));
  EXPECT_OK(vexaSetVarNMissingValues(h, "q2", 1, -1, 0, 0));
  EXPECT_OK(vexaSetVarNMissingValues(h, "income", -2, 90, 99, 0));
  EXPECT_OK(vexaSetVarCMissingValues(h, "code", 2, "x", "yy", nullptr));
  EXPECT_OK(vexaSetVarCMissingValues(h, "city", 3, "NA", "--", "none of them"));
  EXPECT_OK(vexaSetVarCMissingValues(h, "remark", 1, "n/a", nullptr, nullptr));
}

void Labels(const std::string& path, const TempDir&) {
  int h = Begin(path, 0, LabelsDictionary);
  WriteCase(h, {34.0, 1.0, "a", "Paris", "yes please", "short essay", 9.0, 95.0});
  WriteCase(h, {0.0, 2.0, "bb", "Lyon", "no", Fill(300, "words "), -1.0, -1.5});
  EXPECT_OK(vexaCloseWrite(h));
}

// --- File information: label, text info, documents, caller records ---

void FileInfo(const std::string& path, const TempDir& scratch) {
  const std::string documented =
      scratch.Write("documented.vexa", SysFileBuilder()
                                           .Header()
                                           .NumericVar("a")
                                           .Document({"First line of notes.",
                                                      "Second line."})
                                           .End()
                                           .Bytes());
  int from = -1;
  ASSERT_EQ(vexaOpenRead(documented.c_str(), &from), VEXA_OK);
  int h = -1;
  EXPECT_OK(vexaOpenWrite(path.c_str(), &h));
  DefineVars(h, {{"a", 0}, {"b", 4}});
  EXPECT_OK(vexaCopyDocuments(from, h));
  EXPECT_OK(vexaCloseRead(from));
  EXPECT_OK(vexaSetIdString(h, Fill(70, "File label ").c_str()));  // cut to 64
  EXPECT_OK(vexaSetTextInfo(h, "Written by the golden scenario"));
  const int ints[3] = {1, -2, 0x01020304};
  const double doubles[2] = {0.25, -1e300};
  EXPECT_OK(vexaSetExtensionData(h, 2, 4, 3, ints));
  EXPECT_OK(vexaSetExtensionData(h, 12, 4, 3, ints));
  EXPECT_OK(vexaSetExtensionData(h, 12, 4, 0, ints));  // removed again
  EXPECT_OK(vexaSetExtensionData(h, 23, 1, 11, "caller text"));
  EXPECT_OK(vexaSetExtensionData(h, 40, 8, 2, doubles));
  EXPECT_OK(vexaSetCompression(h, 1));
  EXPECT_OK(vexaCommitHeader(h));
  EXPECT_OK(vexaCloseWrite(h));  // no cases
}

// --- A dictionary copied from another file ---

void Copy(const std::string& path, const TempDir& scratch) {
  const std::string source = scratch.File("source.vexa");
  EXPECT_OK(vexaCloseWrite(Begin(source, 0, LabelsDictionary)));
  int h = -1;
  ASSERT_EQ(vexaOpenWriteCopy(path.c_str(), source.c_str(), &h), VEXA_OK);
  EXPECT_OK(vexaSetCompression(h, 1));
  EXPECT_OK(vexaCommitHeader(h));
  WriteCase(h, {1.0, 9.0, "c", "Rome", "maybe", "", 2.0, 50.0});
  EXPECT_OK(vexaCloseWrite(h));
}

// --- Appending: three cases written, four more added after a close ---

void AppendDictionary(int h) {
  DefineVars(h, {{"id", 0}, {"name", 12}, {"score", 0}});
}

void Append(const std::string& path, int compression) {
  auto row = [](int c) -> std::vector<Value> {
    return {double(c), std::string("case ") + std::to_string(c),
            c % 2 ? c * 0.25 : c * 10.0};
  };
  int h = Begin(path, compression, AppendDictionary);
  for (int c = 0; c < 3; ++c) WriteCase(h, row(c));  // a block partly filled
  EXPECT_OK(vexaCloseWrite(h));
  ASSERT_EQ(vexaOpenAppend(path.c_str(), &h), VEXA_OK);
  for (int c = 3; c < 7; ++c) WriteCase(h, row(c));
  EXPECT_OK(vexaCloseAppend(h));
}

struct Scenario {
  const char* name;
  void (*write)(const std::string& path, const TempDir& scratch);
  bool code_page = false;  // else UTF-8 mode
};

const Scenario kScenarios[] = {
    {"numbers_plain", [](const std::string& p, const TempDir&) { Numbers(p, 0); }},
    {"numbers_bytecode", [](const std::string& p, const TempDir&) { Numbers(p, 1); }},
    {"strings_plain", [](const std::string& p, const TempDir&) { Strings(p, 0); }},
    {"strings_bytecode", [](const std::string& p, const TempDir&) { Strings(p, 1); }},
    {"segments_code_page", SegmentsByBytes, true},
    {"names_display", Names},
    {"labels_missing", Labels},
    {"file_info", FileInfo},
    {"copied_dictionary", Copy},
    {"append_plain", [](const std::string& p, const TempDir&) { Append(p, 0); }},
    {"append_bytecode", [](const std::string& p, const TempDir&) { Append(p, 1); }},
};

void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BlankStamp(std::string& bytes) {
  if (bytes.size() >= kStampOffset + kStampSize) {
    bytes.replace(kStampOffset, kStampSize, kStampSize, ' ');
  }
}

std::string HexAround(const std::string& bytes, size_t at) {
  std::string out;
  char buf[4];
  for (size_t i = at; i < std::min(bytes.size(), at + 16); ++i) {
    std::snprintf(buf, sizeof buf, "%02x ", static_cast<unsigned char>(bytes[i]));
    out += buf;
  }
  return out.empty() ? "(end of file)" : out;
}

class GoldenFileTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(GoldenFileTest, WriterOutputIsUnchanged) {
  const Scenario& scenario = GetParam();
  const text::testing::ScopedInterfaceMode mode(
      scenario.code_page ? text::InterfaceMode::kCodePage : text::InterfaceMode::kUtf8);
  // Code-page scenarios write in windows-1252, whatever the machine's locale.
  std::optional<text::testing::ScopedCodePage> code_page;
  if (scenario.code_page) code_page.emplace("windows-1252");
  TempDir dir;
  const std::string fresh = dir.File(std::string(scenario.name) + ".vexa");
  scenario.write(fresh, dir);
  ASSERT_FALSE(HasFailure());
  std::string got = Slurp(fresh);
  ASSERT_FALSE(got.empty());

  const std::filesystem::path golden =
      std::filesystem::path(VEXA_GOLDEN_DIR) / (std::string(scenario.name) + ".vexa");
  const char* regenerate = std::getenv("VEXA_REGENERATE_GOLDEN");
  if (regenerate != nullptr && std::strcmp(regenerate, "1") == 0) {
    std::filesystem::create_directories(golden.parent_path());
    std::ofstream(golden, std::ios::binary).write(got.data(), std::streamsize(got.size()));
    GTEST_SKIP() << "wrote " << golden;
  }
  std::string want = Slurp(golden);
  ASSERT_FALSE(want.empty()) << "no golden file " << golden;

  BlankStamp(got);
  BlankStamp(want);
  if (got == want) return;
  const size_t at = static_cast<size_t>(
      std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()),
                    want.begin())
          .first -
      got.begin());
  ADD_FAILURE() << scenario.name << ": first difference at byte offset " << at
                << " (file " << got.size() << " bytes, golden " << want.size()
                << ")\n  written: " << HexAround(got, at)
                << "\n  golden:  " << HexAround(want, at);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenFileTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexa::testing
