// One dictionary with all a file carries (a very long string with date
// variables after it, multiple-response and variable sets, attributes,
// value and variable labels, names and a file label that conversion cuts)
// taken every way a file is made and changed: written by us or composed
// record by record in either byte order; uncompressed, byte code or zlib;
// plain or protected; in windows-1252 or UTF-8. After each step the whole
// handle read through the C API shows exactly what was put in, converted
// where the interface speaks the other encoding, or the step is refused as
// documented.
#include <algorithm>
#include <cstdint>
#include <bit>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <unicode/ucnv.h>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

enum Origin { kWritten, kComposedHostOrder, kComposedOtherOrder };

// --- Texts: held in UTF-8, of characters that windows-1252 has ---

// Between windows-1252 and UTF-8.
std::string Recode(const std::string& text, bool from_utf8, bool to_utf8) {
  if (from_utf8 == to_utf8) return text;
  std::string out(text.size() * 3, '\0');
  UErrorCode err = U_ZERO_ERROR;
  out.resize(ucnv_convert(to_utf8 ? "UTF-8" : "windows-1252", from_utf8 ? "UTF-8" : "windows-1252",
                          out.data(), static_cast<int32_t>(out.size()), text.data(),
                          static_cast<int32_t>(text.size()), &err));
  return U_SUCCESS(err) ? out : "(not converted)";
}

// The longest run of whole characters of at most `limit` bytes.
std::string Cut(std::string text, size_t limit, bool utf8) {
  if (text.size() <= limit) return text;
  while (utf8 && limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
  return text.substr(0, limit);
}

// How a handle shows a file: the encoding of the texts it hands out, of the
// file, and of the file the texts were first written to (before a
// conversion); the factor by which string widths grew; the byte order.
struct View { bool utf8_text, utf8_file, utf8_first; int widen = 1; bool host_order = true; };

// A text as each file stored it (cut to `limit` bytes in each) and as the
// handle hands it out (cut again).
std::string In(std::string_view text, const View& v, size_t limit = std::string::npos) {
  const std::string first = Cut(Recode(std::string(text), true, v.utf8_first), limit, v.utf8_first);
  const std::string file = Cut(Recode(first, v.utf8_first, v.utf8_file), limit, v.utf8_file);
  return Cut(Recode(file, v.utf8_file, v.utf8_text), limit, v.utf8_text);
}
std::string Name(std::string_view name, const View& v) { return In(name, v, 64); }

// --- The dictionary and the cases ---

const std::string kE = "\xC3\xA9", kEuro = "\xE2\x82\xAC";
// Names of 64 bytes in windows-1252 and twice as long in UTF-8, where they
// are cut (also when a windows-1252 file is read in UTF-8).
const std::string kCutName = Repeat(kE, 64), kSetName = "$" + Repeat(kE, 63);
// 69 bytes in UTF-8: 64 of them end inside a euro sign.
const std::string kFileLabel = "Enqu\xC3\xAAte " + Repeat(kEuro, 20);
const std::string kValueLabel = "oui " + kEuro, kAttribute = "\xC3\xA0 lire" + kEuro;

struct VarDef {
  std::string name, short_name;  // the short name in a composed file
  int width;
  std::string label;
};
const VarDef kVars[] = {
    {"id", "ID", 0, "Num" + kE + "ro"},
    {"texte", "TEXTE", 1000, "Texte tr\xC3\xA8s long " + kEuro},
    {"YEAR_", "YEAR_", 0, ""},
    {"MONTH_", "MONTH_", 0, ""},
    {"DATE_", "DATE_", 8, ""},
    {"caf" + kE, "V5", 0, "Caf" + kE + " ou th" + kE},
    {kCutName, "V6", 0, "Nom coup" + kE},
    {"s", "S", 8, ""},
};
constexpr int kCafe = 5, kCut = 6, kS = 7;

// The 1-based case position of each variable: in the file's layout, where
// a very long string takes its segments' slots, or in memory.
std::vector<int> Positions(const View& v, bool file_layout) {
  std::vector<int> at;
  for (int next = 1; const VarDef& var : kVars) {
    at.push_back(next);
    const int w = var.width * v.widen;
    next += file_layout && w > 255 ? (w + 4 * (w / 252) + 7) / 8 : std::max(1, (w + 7) / 8);
  }
  return at;
}

// Flag 1, a pair (12, 12), YEAR_ and MONTH_, the key DATE_.
std::vector<int> DateEntries(const View& v, bool file_layout) {
  const std::vector<int> at = Positions(v, file_layout);
  return {1, 0, 2, 12, 12, 1, at[2], 2, 1990, at[3], 4, 1, at[4], 11, 0};
}

// A value of each variable, a text or a number.
std::vector<std::string> Row(int i) {
  const char* numbers[] = {"-0", "-1.7976931348623157e+308", "1.5", "1.0000000000000001e+300",
                           "-7"};
  // 1,000 bytes in UTF-8; the segments of the very long string begin on
  // whole characters in both encodings.
  return {std::to_string(i), kE + kEuro + std::string(993, static_cast<char>('a' + i)) + "\xC3\xBC",
          std::to_string(1990 + i), std::to_string(i + 1), kE + std::to_string(i),
          std::to_string(i % 2 + 1), numbers[i],
          std::vector<std::string>{kE, "\xC3\xBC" + kEuro, "x"}[i % 3]};
}

// --- Everything a handle shows, one line per item ---

using Lines = std::vector<std::string>;

// Sets name their variables; those of the plain set records of a composed
// file name the short names.
std::string Members(const View& v, std::initializer_list<int> vars, bool short_names) {
  std::string out;
  for (int k : vars) out += " " + (short_names ? kVars[k].short_name : Name(kVars[k].name, v));
  return out;
}
std::string Mr(const View& v, bool short_names = false) {
  const std::string cat = In("Cat" + kE + "gories " + kEuro, v), yes = In("Oui " + kE, v);
  return Name(kSetName, v) + "=C " + std::to_string(cat.size()) + " " + cat +
         Members(v, {kCafe, kCut}, short_names) + "\n$dich=D1 1 " + std::to_string(yes.size()) +
         " " + yes + Members(v, {0, kCafe}, short_names) + "\n";
}
std::string Extended(const View& v) { return "$ext=E 11 1 1 0  id " + Name(kCutName, v) + "\n"; }
std::string VarSets(const View& v, bool short_names = false) {
  return "Ensemble=" + Members(v, {0, 1, kCafe, kCut}, short_names) +
         "\nDates=" + Members(v, {2, 3, 4}, short_names) + "\n";
}

Lines Expected(const View& v, int compression, int cases) {
  // The encoding, code page, compatibility, compression and case count.
  Lines out = {std::string(v.utf8_file ? "UTF-8 65001 " : "windows-1252 1252 ") +
                   std::to_string(v.utf8_text == v.utf8_file && v.host_order) + " " +
                   std::to_string(compression) + " " + std::to_string(cases),
               "label " + In(kFileLabel, v, 64)};
  for (int k = 0; const VarDef& var : kVars) {
    out.push_back(Name(var.name, v) + " " + std::to_string(var.width * v.widen) + " label " +
                  In(var.label, v) + " values " +
                  (k == kCafe ? "1=" + In(kValueLabel, v) + ";2=non;" : "") +
                  (k == kS ? In(kE, v) + "=accent;" : "") + " attributes 0:" +
                  (k == kCafe ? "Note=" + In(kAttribute, v) + ";" : ""));
    ++k;
  }
  out.push_back("file attributes 0:Source=" + In(kFileLabel, v) + ";");
  out.push_back("sets of responses 0:" + Mr(v) + Extended(v));
  out.push_back("sets of variables 0:" + VarSets(v));
  out.push_back("dates");
  for (int entry : DateEntries(v, false)) out.back() += " " + std::to_string(entry);
  for (int i = 0; i < cases; ++i) {
    std::string line;
    for (int k = 0; const std::string& value : Row(i))
      line += (kVars[k++].width ? In(value, v) : value) + "|";
    out.push_back(line);
  }
  return out;
}

std::string Trimmed(std::string s) { return s.erase(s.find_last_not_of(' ') + 1); }

// "value=label;" for each value label of a variable, texts unpadded.
std::string ValueLabels(int h, const char* name, bool numeric) {
  Out o;
  numeric ? vexaGetVarNValueLabels(h, name, &o.values, &o.labels, &o.i[0])
          : vexaGetVarCValueLabels(h, name, &o.texts, &o.labels, &o.i[0]);
  std::string out;
  for (int i = 0; i < o.i[0]; ++i)
    out += (numeric ? Out::Number(o.values[i]) : Trimmed(o.texts[i])) + "=" + o.labels[i] + ";";
  return out;
}

Lines Snapshot(int h) {
  char encoding[VEXA_ENCODING_BUFFER] = "", label[256] = "";
  int code_page = -1, compatible = -1, compression = -1, cases = -1, n = 0;
  Each({vexaGetFileEncoding(h, encoding), vexaGetFileCodePage(h, &code_page),
        vexaIsCompatibleEncoding(h, &compatible), vexaGetCompression(h, &compression),
        vexaGetNumberofCases(h, &cases), vexaGetIdString(h, label)});
  Lines out = {encoding, std::string("label ") + label};
  for (int number : {code_page, compatible, compression, cases})
    out[0] += " " + std::to_string(number);
  Out vars;
  vexaGetVarNames(h, &vars.i[0], &vars.names, &vars.types);
  for (int k = 0; k < vars.i[0]; ++k) {
    const char* name = vars.names[k];
    char text[1024] = "";
    vexaGetVarLabelLong(h, name, text, sizeof text, &n);
    out.push_back(name + (" " + std::to_string(vars.types[k]) + " label " + text + " values " +
                  ValueLabels(h, name, vars.types[k] == 0) + " attributes " + Attributes(h, name)));
  }
  out.push_back("file attributes " + Attributes(h));
  out.push_back("sets of responses " + Text(h, vexaGetMultRespDefsEx, vexaFreeMultRespDefs));
  out.push_back("sets of variables " + Text(h, vexaGetVariableSets, vexaFreeVariableSets));
  int* dates = nullptr;
  std::string line = "dates";
  if (vexaGetDateVariables(h, &n, &dates) != VEXA_OK) n = 0;
  for (int i = 0; i < n; ++i) line += " " + std::to_string(dates[i]);
  vexaFreeDateVariables(dates);
  out.push_back(line);
  std::vector<char> value(VEXA_MAX_STRING_WIDTH + 1);
  int code = VEXA_OK;
  while ((code = vexaReadCaseRecord(h)) == VEXA_OK) {
    line.clear();
    for (int k = 0; k < vars.i[0]; ++k) {
      double number = 0;
      line += (vars.types[k]
                   ? (vexaGetValueChar(h, k + 1.0, value.data(), static_cast<int>(value.size())),
                      Trimmed(value.data()))
                   : (vexaGetValueNumeric(h, k + 1.0, &number), Out::Number(number))) +
              "|";
    }
    out.push_back(line);
  }
  if (code != VEXA_W_END_OF_DATA) out.push_back("reading stopped with " + std::to_string(code));
  return out;
}

// The file read with the password (if any) shows `want` (that a protected
// one needs it: the protected files test).
void ExpectFile(const std::string& path, const char* password, const Lines& want) {
  int h = -1;
  ASSERT_EQ(OpenRead(path, password, &h), VEXA_OK) << path;
  EXPECT_EQ(Snapshot(h), want) << path;
  EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
}

// --- Making the files ---

int WriteRows(int h, const View& v, int first, int last) {
  int code = VEXA_OK;
  for (int i = first; i < last && code == VEXA_OK; ++i) {
    const std::vector<std::string> row = Row(i);
    for (size_t k = 0; k < row.size() && code == VEXA_OK; ++k)
      code = kVars[k].width ? vexaSetValueChar(h, k + 1.0, In(row[k], v).c_str())
                            : vexaSetValueNumeric(h, k + 1.0, std::stod(row[k]));
    code = code ? code : vexaCommitCaseRecord(h);
  }
  return code;
}

// Defines the dictionary on a new write handle; 0 or the first other code.
int Define(int h, const View& v) {
  int code = VEXA_OK;
  for (const VarDef& var : kVars) {
    const std::string name = Name(var.name, v);
    code = Each({code, vexaSetVarName(h, name.c_str(), var.width),
                 vexaSetVarLabel(h, name.c_str(), In(var.label, v).c_str())});
  }
  const std::string cafe = Name(kVars[kCafe].name, v), cut = Name(kCutName, v);
  const char* members[] = {"id", cut.c_str()};
  VEXA_MultRespDef ext{"$ext", "", 1, 1, 1, 1, {}, 1, nullptr, const_cast<char**>(members), 2};
  const std::vector<int> dates = DateEntries(v, false);
  return Each({code, vexaSetIdString(h, In(kFileLabel, v).c_str()),
               vexaSetVarNValueLabel(h, cafe.c_str(), 1, In(kValueLabel, v).c_str()),
               vexaSetVarNValueLabel(h, cafe.c_str(), 2, "non"),
               vexaSetVarCValueLabel(h, "s", In(kE, v).c_str(), "accent"),
               vexaAddVarAttribute(h, cafe.c_str(), "Note", -1, In(kAttribute, v).c_str()),
               vexaAddFileAttribute(h, "Source", -1, In(kFileLabel, v).c_str()),
               vexaSetMultRespDefs(h, Mr(v).c_str()), vexaAddMultRespDefExt(h, &ext),
               vexaSetVariableSets(h, VarSets(v).c_str()),
               vexaSetDateVariables(h, static_cast<int>(dates.size()), dates.data())});
}

// The file as another writer lays it out, in the byte order asked for.
std::string Composed(int compression, bool utf8, bool big) {
  const View v{utf8, utf8, utf8};
  const std::vector<int> at = Positions(v, true);
  SysFileBuilder b(big);
  b.Header({.magic = compression == 2 ? "$FL3" : "$FL2",
            .compression = compression,
            .case_count = 3,
            .label = In(kFileLabel, v, 64)});
  std::string long_names;
  for (const VarDef& var : kVars) {
    const VarOptions options{.label = var.label.empty() ? std::nullopt
                                                        : std::optional(In(var.label, v))};
    if (var.width == 0) b.NumericVar(var.short_name, options);
    if (var.width == 8) b.StringVar(var.short_name, 8, options);
    if (var.width == 1000) {  // segments of 255, 255, 255 and 244 bytes
      b.StringVar(var.short_name, 255, options).StringVar(var.short_name + "0", 255);
      b.StringVar(var.short_name + "1", 255).StringVar(var.short_name + "2", 244);
    }
    long_names += (long_names.empty() ? "" : "\t") + var.short_name + "=" + Name(var.name, v);
  }
  b.NumericLabels({{1, In(kValueLabel, v)}, {2, "non"}}, {at[kCafe]});
  b.StringLabels({{In(kE, v), "accent"}}, {at[kS]});
  b.MachineInts({24, 0, 0, 720, 1, 1, big ? 1 : 2, utf8 ? 65001 : 1252});
  b.Extension(5, VarSets(v, true)).Extension(6, Ints(DateEntries(v, true), big), 4);
  b.Extension(7, Mr(v, true)).Extension(13, long_names);
  b.Extension(14, std::string("TEXTE=01000\0\t", 13));
  b.Extension(17, "Source('" + In(kFileLabel, v) + "'\n)");
  b.Extension(18, Name(kVars[kCafe].name, v) + ":Note('" + In(kAttribute, v) + "'\n)");
  b.Extension(19, Extended(v)).Extension(20, utf8 ? "UTF-8" : "windows-1252").End();
  std::vector<std::vector<CaseSlot>> cases(3);
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; const std::string& value : Row(i)) {
      const int width = kVars[k++].width;
      const std::string text = In(value, v);
      if (width == 0) cases[i].push_back(CaseSlot::Number(std::stod(value)));
      if (width == 0 && compression == 0) b.CaseNumber(std::stod(value));
      // A full segment holds 255 bytes of the value and a blank; the last
      // one, 244 wide, takes 31 slots.
      std::string padded = width == 8 ? text + std::string(8 - text.size(), ' ') : "";
      for (int seg = 0; width > 8 && seg < 4; ++seg) {
        std::string part = text.substr(std::min<size_t>(text.size(), seg * 255), 255);
        padded += part.append((seg < 3 ? 256 : 248) - part.size(), ' ');
      }
      for (size_t p = 0; p < padded.size(); p += 8)
        cases[i].push_back(CaseSlot::Text(padded.substr(p, 8)));
      if (compression == 0) b.Raw(padded);
    }
  }
  // A zlib file in blocks of 512 bytes.
  if (compression > 0) b.CompressedCases(cases);
  if (compression == 2) b.ZlibCases(512);
  return b.Bytes();
}

// --- The steps ---

class CombinationTest : public ::testing::TestWithParam<std::tuple<int, bool, bool, Origin>> {
 protected:
  // Switches the interface encoding (windows-1252 for code-page mode) while
  // no handle is open.
  void Use(bool utf8) { settings_.Use(utf8, utf8 ? nullptr : "windows-1252"); }

  TempDir dir_;
  EncodingSettings settings_;
};

TEST_P(CombinationTest, EveryStepShowsWhatWasPutIn) {
  const auto [compression, secret, utf8, origin] = GetParam();
  const char* pw = secret ? "pw" : nullptr;
  const bool host_order = origin != kComposedOtherOrder;
  const View own{utf8, utf8, utf8, 1, host_order},
      other{!utf8, utf8, utf8, utf8 ? 1 : 3, host_order};
  const std::string source = dir_.File("source.vexa");
  Use(utf8);

  // Our writer takes byte code when it protects a file itself: a protected
  // zlib file is our zlib file encrypted.
  const bool encrypt_after = secret && (origin != kWritten || compression == 2);
  const std::string plain = encrypt_after ? dir_.File("plain.vexa") : source;
  int h = -1;
  if (origin == kWritten) {
    ASSERT_EQ(Each({OpenWrite(plain, encrypt_after ? nullptr : pw, &h), Define(h, own),
                    vexaSetCompression(h, compression), vexaCommitHeader(h),
                    WriteRows(h, own, 0, 3), vexaCloseWrite(h)}),
              VEXA_OK);
  } else {
    const bool big = (std::endian::native == std::endian::big) == host_order;
    dir_.Write(encrypt_after ? "plain.vexa" : "source.vexa", Composed(compression, utf8, big));
  }
  if (encrypt_after) Protect(source, ReadFile(plain), "pw");
  ExpectFile(source, pw, Expected(own, compression, 3));

  // Cases are added only to a file of this machine's byte order in the
  // interface's encoding.
  const int cases = host_order ? 5 : 3;
  Use(!utf8);
  EXPECT_EQ(OpenAppend(source, pw, &h), VEXA_E_CANNOT_APPEND);
  Use(utf8);
  ASSERT_EQ(OpenAppend(source, pw, &h), host_order ? VEXA_OK : VEXA_E_CANNOT_APPEND);
  EXPECT_EQ(host_order ? Each({WriteRows(h, own, 3, 5), vexaCloseAppend(h)}) : VEXA_OK, VEXA_OK);
  ExpectFile(source, pw, Expected(own, compression, cases));

  Use(!utf8);
  ExpectFile(source, pw, Expected(other, compression, cases));

  // A copy takes the dictionary (and a protected one is written in byte
  // code).
  Use(utf8);
  const std::string copy = dir_.File("copy.vexa");
  EXPECT_EQ(Each({secret ? vexaOpenWriteCopyEx(copy.c_str(), "new", source.c_str(), pw, &h)
                         : vexaOpenWriteCopy(copy.c_str(), source.c_str(), &h),
                  vexaSetCompression(h, compression), vexaCommitHeader(h), WriteRows(h, own, 0, 2),
                  vexaCloseWrite(h)}),
            VEXA_OK);
  ExpectFile(copy, secret ? "new" : nullptr,
             Expected({utf8, utf8, utf8}, secret && compression == 2 ? 1 : compression, 2));

  // Converting: the dictionary and the cases as the other interface
  // encoding reads them, into a plain file of that encoding.
  Use(!utf8);
  const std::string converted = dir_.File("converted.vexa");
  int r = -1, size = 0;
  ASSERT_EQ(Each({OpenRead(source, pw, &r),
                  secret ? vexaOpenWriteCopyExDict(converted.c_str(), source.c_str(), pw, &h)
                         : vexaOpenWriteCopy(converted.c_str(), source.c_str(), &h),
                  vexaSetCompression(h, compression), vexaCommitHeader(h),
                  vexaGetCaseSize(r, &size)}),
            VEXA_OK);
  std::vector<char> record(static_cast<size_t>(size));
  while (vexaWholeCaseIn(r, record.data()) == VEXA_OK)
    EXPECT_EQ(vexaWholeCaseOut(h, record.data()), VEXA_OK);
  EXPECT_EQ(Each({vexaCloseRead(r), vexaCloseWrite(h)}), VEXA_OK);
  ExpectFile(converted, nullptr, Expected({!utf8, !utf8, utf8, other.widen}, compression, cases));
}

INSTANTIATE_TEST_SUITE_P(
    All, CombinationTest,
    ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Bool(), ::testing::Bool(),
                       ::testing::Values(kWritten, kComposedHostOrder, kComposedOtherOrder)));

}  // namespace
}  // namespace vexa::testing
