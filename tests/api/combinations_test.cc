// One dictionary with all a file carries (a very long string with date
// variables after it, multiple-response and variable sets, attributes,
// value and variable labels, names and a file label that conversion cuts)
// taken every way a file is made and changed: written by us or composed
// record by record in either byte order; uncompressed, byte code or zlib;
// plain or protected; in windows-1252 or UTF-8. After each step the whole
// handle read through the C API shows exactly what was put in, converted
// where the interface speaks the other encoding, or the step is refused as
// documented.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <bit>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "api/api_fixture.h"
#include "crypt/crypt_file_stream.h"
#include "support/sysfile_builder.h"
#include "text/test_locales.h"

namespace vexa::testing {
namespace {

enum Origin { kWritten, kComposedHostOrder, kComposedOtherOrder };
enum Step { kRead, kAppend, kReadOther, kCopy, kConvert };
struct Combo {
  int compression;
  bool secret, utf8;  // protected; the file's texts in UTF-8, else windows-1252
  Origin origin;
};

// Library defects that fail some combinations, at the steps of a mask. A
// row with an item (the start of a snapshot line) leaves that item
// unchecked; one without stops the combination at the step. Either way the
// combination ends skipped under the defect's name. Delete a row once its
// fix is merged.
constexpr int kAny = -1, kEveryStep = 31;
struct KnownDefect {
  const char* name;
  const char* item;
  int steps, compression, secret, utf8, origin;
};
constexpr KnownDefect kKnownDefects[] = {
};

std::vector<const KnownDefect*> Known(const Combo& c, Step step) {
  auto fits = [](int want, int got) { return want == kAny || want == got; };
  std::vector<const KnownDefect*> found;
  for (const KnownDefect& d : kKnownDefects) {
    if ((d.steps >> step & 1) && fits(d.compression, c.compression) && fits(d.secret, c.secret) &&
        fits(d.utf8, c.utf8) && fits(d.origin, c.origin)) {
      found.push_back(&d);
    }
  }
  return found;
}

// --- Texts: held in UTF-8, of characters that windows-1252 has ---

// Between windows-1252 and UTF-8, for texts of accented letters and the
// euro sign (the only character here of three bytes in UTF-8).
std::string Recode(const std::string& text, bool from_utf8, bool to_utf8) {
  std::string out;
  for (size_t i = 0; i < text.size() && from_utf8 != to_utf8; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) out += text[i];
    if (c >= 0x80 && to_utf8) {
      out += c == 0x80 ? "\xE2\x82\xAC" : std::string{char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    }
    if (c >= 0x80 && !to_utf8) {
      out += c >= 0xE0 ? '\x80' : static_cast<char>(c << 6 | (text[i + 1] & 0x3F));
      i += c >= 0xE0 ? 2 : 1;
    }
  }
  return from_utf8 == to_utf8 ? text : out;
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
struct View {
  bool utf8_text, utf8_file, utf8_first;
  int widen = 1;
  bool host_order = true;
};

// A text as each file stored it (cut to `limit` bytes in each) and as the
// handle hands it out (cut again).
std::string In(std::string_view text, const View& v, size_t limit = std::string::npos) {
  const std::string first = Cut(Recode(std::string(text), true, v.utf8_first), limit, v.utf8_first);
  const std::string file = Cut(Recode(first, v.utf8_first, v.utf8_file), limit, v.utf8_file);
  return Cut(Recode(file, v.utf8_file, v.utf8_text), limit, v.utf8_text);
}
std::string Name(std::string_view name, const View& v) { return In(name, v, 64); }

// --- The dictionary and the cases ---

std::string Repeat(std::string_view s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}
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
  return {std::to_string(i),
          kE + kEuro + std::string(993, static_cast<char>('a' + i)) + "\xC3\xBC",
          std::to_string(1990 + i),
          std::to_string(i + 1),
          kE + std::to_string(i),
          std::to_string(i % 2 + 1),
          numbers[i],
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
  Lines out = {std::string(v.utf8_file ? "UTF-8 65001" : "windows-1252 1252") + " compatible " +
                   std::to_string(v.utf8_text == v.utf8_file && v.host_order) + " compression " +
                   std::to_string(compression) + " cases " + std::to_string(cases),
               "label " + In(kFileLabel, v, 64)};
  for (int k = 0; const VarDef& var : kVars) {
    out.push_back(Name(var.name, v) + " " + std::to_string(var.width * v.widen) + " label " +
                  In(var.label, v) + " values " +
                  (k == kCafe ? "1=" + In(kValueLabel, v) + ";2=non;" : "") +
                  (k == kS ? In(kE, v) + "=accent;" : "") + " attributes " +
                  (k == kCafe ? "Note=" + In(kAttribute, v) + ";" : ""));
    ++k;
  }
  out.push_back("file attributes Source=" + In(kFileLabel, v) + ";");
  out.push_back("sets of responses " + Mr(v) + Extended(v));
  out.push_back("sets of variables " + VarSets(v));
  out.push_back("dates 1 0 2 12 12 1 YEAR_ 2 1990 MONTH_ 4 1 DATE_ 11 0");
  for (int i = 0; i < cases; ++i) {
    std::string line;
    for (int k = 0; const std::string& value : Row(i))
      line += (kVars[k++].width ? In(value, v) : value) + "|";
    out.push_back(line);
  }
  return out;
}

std::string Trimmed(std::string s) { return s.erase(s.find_last_not_of(' ') + 1); }

// "name=value;" for each of n pairs, released by `release`.
template <typename Key, typename Release>
std::string Pairs(Key* keys, char** values, int n, Release release) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    if constexpr (std::is_same_v<Key, double>) out += Out::Number(keys[i]);
    if constexpr (!std::is_same_v<Key, double>) out += Trimmed(keys[i]);
    out += std::string("=") + values[i] + ";";
  }
  release(keys, values, n);
  return out;
}

std::string Text(int h, int (*get)(int, char**), int (*release)(char*)) {
  char* text = nullptr;
  get(h, &text);
  const std::string out = text ? text : "";
  release(text);
  return out;
}

Lines Snapshot(int h) {
  char encoding[VEXA_ENCODING_BUFFER] = "", label[256] = "";
  int code_page = -1, compatible = -1, compression = -1, cases = -1, n = 0;
  Each({vexaGetFileEncoding(h, encoding), vexaGetFileCodePage(h, &code_page),
        vexaIsCompatibleEncoding(h, &compatible), vexaGetCompression(h, &compression),
        vexaGetNumberofCases(h, &cases), vexaGetIdString(h, label)});
  Lines out = {std::string(encoding) + " " + std::to_string(code_page) + " compatible " +
                   std::to_string(compatible) + " compression " + std::to_string(compression) +
                   " cases " + std::to_string(cases),
               std::string("label ") + label};
  Out vars;
  vexaGetVarNames(h, &vars.i[0], &vars.names, &vars.types);
  std::vector<std::string> names(vars.names, vars.names + vars.i[0]);
  std::vector<int> at;  // 1-based case position of each variable
  for (int k = 0, next = 1; k < vars.i[0]; next += std::max(1, (vars.types[k++] + 7) / 8)) {
    at.push_back(next);
    const char* name = names[k].c_str();
    char text[1024] = "";
    double* numbers = nullptr;
    char** values = nullptr;
    char** labels = nullptr;
    vexaGetVarLabelLong(h, name, text, sizeof text, &n);
    std::string line =
        names[k] + " " + std::to_string(vars.types[k]) + " label " + text + " values ";
    line += vars.types[k] == 0 ? (vexaGetVarNValueLabels(h, name, &numbers, &labels, &n),
                                  Pairs(numbers, labels, n, vexaFreeVarNValueLabels))
                               : (vexaGetVarCValueLabels(h, name, &values, &labels, &n),
                                  Pairs(values, labels, n, vexaFreeVarCValueLabels));
    vexaGetVarAttributes(h, name, &values, &labels, &n);
    out.push_back(line + " attributes " + Pairs(values, labels, n, vexaFreeAttributes));
  }
  char** keys = nullptr;
  char** values = nullptr;
  vexaGetFileAttributes(h, &keys, &values, &n);
  out.push_back("file attributes " + Pairs(keys, values, n, vexaFreeAttributes));
  out.push_back("sets of responses " + Text(h, vexaGetMultRespDefsEx, vexaFreeMultRespDefs));
  out.push_back("sets of variables " + Text(h, vexaGetVariableSets, vexaFreeVariableSets));
  int* dates = nullptr;
  std::string line = "dates";
  if (vexaGetDateVariables(h, &n, &dates) != VEXA_OK) n = 0;
  for (int i = 0; i < n; ++i) {  // positions as the names of the variables there
    const auto var = std::find(at.begin(), at.end(), dates[i]) - at.begin();
    line += " " + (i < 6 || i % 3    ? std::to_string(dates[i])
                   : var < vars.i[0] ? names[var]
                                     : "?" + std::to_string(dates[i]));
  }
  vexaFreeDateVariables(dates);
  out.push_back(line);
  std::vector<char> value(VEXA_MAX_STRING_WIDTH + 1);
  int code = VEXA_OK;
  while ((code = vexaReadCaseRecord(h)) == VEXA_OK) {
    line.clear();
    for (int k = 0; k < vars.i[0]; ++k) {
      double number = 0;
      line += vars.types[k]
                  ? (vexaGetValueChar(h, k + 1.0, value.data(), static_cast<int>(value.size())),
                     Trimmed(value.data()))
                  : (vexaGetValueNumeric(h, k + 1.0, &number), Out::Number(number));
      line += "|";
    }
    out.push_back(line);
  }
  if (code != VEXA_W_END_OF_DATA) out.push_back("reading stopped with " + std::to_string(code));
  return out;
}

// The file read with the password (if any) shows `want`, but for the items
// that known defects leave unchecked.
void ExpectFile(const std::string& path, const char* password, const Lines& want,
                const std::vector<const KnownDefect*>& defects) {
  int h = -1;
  EXPECT_EQ(OpenRead(path, nullptr, &h), password ? VEXA_E_NO_PASSWORD : VEXA_OK) << path;
  vexaCloseRead(h);
  ASSERT_EQ(OpenRead(path, password, &h), VEXA_OK) << path;
  const Lines got = Snapshot(h);
  EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
  for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    const std::string& wanted = i < want.size() ? want[i] : "(none)";
    if (std::none_of(defects.begin(), defects.end(), [&](const KnownDefect* d) {
          return d->item && wanted.starts_with(std::string(d->item) + " ");
        })) {
      EXPECT_EQ(i < got.size() ? got[i] : "(none)", wanted) << path << " line " << i;
    }
  }
}

// --- Making the files ---

int WriteRows(int h, const View& v, int first, int last) {
  int code = VEXA_OK;
  for (int i = first; i < last && code == VEXA_OK; ++i) {
    const std::vector<std::string> row = Row(i);
    for (size_t k = 0; k < row.size() && code == VEXA_OK; ++k) {
      code = kVars[k].width ? vexaSetValueChar(h, k + 1.0, In(row[k], v).c_str())
                            : vexaSetValueNumeric(h, k + 1.0, std::stod(row[k]));
    }
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

// 64-bit integers in the file's byte order.
std::string Int64s(std::initializer_list<int64_t> values, bool big) {
  std::string out;
  for (const int64_t n : values) {
    const auto low = static_cast<int32_t>(n), high = static_cast<int32_t>(n >> 32);
    out += big ? Ints({high, low}, true) : Ints({low, high});
  }
  return out;
}

void Protect(const std::string& path, const std::string& plain) {
  crypt::CryptFileStream s;
  ASSERT_TRUE(s.Open(path, "pw", "w"));
  s.Write(plain.data(), plain.size());
  s.Close();
}

// The file as another writer lays it out, in the byte order asked for; a
// zlib file in blocks of 512 bytes.
std::string Composed(const Combo& c, bool big) {
  const View v{c.utf8, c.utf8, c.utf8};
  const std::vector<int> at = Positions(v, true);
  SysFileBuilder b(big);
  b.Header({.magic = c.compression == 2 ? "$FL3" : "$FL2",
            .compression = c.compression,
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
  b.MachineInts({24, 0, 0, 720, 1, 1, big ? 1 : 2, c.utf8 ? 65001 : 1252});
  b.Extension(5, VarSets(v, true)).Extension(6, Ints(DateEntries(v, true), big), 4);
  b.Extension(7, Mr(v, true)).Extension(13, long_names);
  b.Extension(14, std::string("TEXTE=01000\0\t", 13));
  b.Extension(17, "Source('" + In(kFileLabel, v) + "'\n)");
  b.Extension(18, Name(kVars[kCafe].name, v) + ":Note('" + In(kAttribute, v) + "'\n)");
  b.Extension(19, Extended(v)).Extension(20, c.utf8 ? "UTF-8" : "windows-1252").End();
  std::vector<std::vector<CaseSlot>> cases(3);
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; const std::string& value : Row(i)) {
      const int width = kVars[k++].width;
      const std::string text = In(value, v);
      if (width == 0) cases[i].push_back(CaseSlot::Number(std::stod(value)));
      // A full segment holds 255 bytes of the value and a blank; the last
      // one, 244 wide, takes 31 slots.
      std::string padded = width == 8 ? text + std::string(8 - text.size(), ' ') : "";
      for (int seg = 0; width > 8 && seg < 4; ++seg) {
        std::string part = text.substr(std::min<size_t>(text.size(), seg * 255), 255);
        padded += part.append((seg < 3 ? 256 : 248) - part.size(), ' ');
      }
      for (size_t p = 0; p < padded.size(); p += 8)
        cases[i].push_back(CaseSlot::Text(padded.substr(p, 8)));
    }
  }
  if (c.compression == 0) {
    for (const auto& slots : cases) {
      for (const CaseSlot& s : slots) {
        s.numeric ? b.CaseNumber(ValueAt<double>({s.bytes.data(), 8}, 0))
                  : b.Raw({s.bytes.data(), 8});
      }
    }
    return b.Bytes();
  }
  const std::string data = SysFileBuilder(big).CompressedCases(cases).Bytes();
  if (c.compression == 1) return b.Raw(data).Bytes();
  // Blocks of 512 bytes each deflated on its own, the zlib header before
  // them and the block index after them.
  constexpr int kBlock = 512;
  const int64_t start = static_cast<int64_t>(b.Offset());
  std::string blocks, index;
  for (size_t at = 0; at < data.size(); at += kBlock) {
    const std::string piece = data.substr(at, kBlock);
    uLongf size = compressBound(piece.size());
    std::string z(size, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &size,
              reinterpret_cast<const Bytef*>(piece.data()), piece.size(), 1);
    index +=
        Int64s({start + static_cast<int64_t>(at), start + 24 + static_cast<int64_t>(blocks.size())},
               big) +
        Ints({static_cast<int32_t>(piece.size()), static_cast<int32_t>(size)}, big);
    blocks += z.substr(0, size);
  }
  const auto count = static_cast<int32_t>(index.size() / 24);
  b.Raw(Int64s({start, start + 24 + static_cast<int64_t>(blocks.size()), 24 * (count + 1)}, big));
  return b.Raw(blocks)
      .Raw(Int64s({-100, 0}, big))
      .Raw(Ints({kBlock, count}, big))
      .Raw(index)
      .Bytes();
}

// --- The steps ---

// Switches the interface encoding (windows-1252 for code-page mode) while
// no handle is open; puts the mode and the locale back at the end.
class Interface {
 public:
  Interface() : mode_(vexaGetInterfaceEncoding()) {}
  ~Interface() { vexaSetInterfaceEncoding(mode_); }
  void Use(bool utf8) {
    EXPECT_EQ(Each({vexaSetInterfaceEncoding(utf8), utf8 ? 0 : vexaSetCodePage("windows-1252")}),
              0);
  }

 private:
  int mode_;
  text::testing::ScopedLocale locale_;
};

class CombinationTest : public ::testing::TestWithParam<std::tuple<int, bool, bool, Origin>> {
 protected:
  TempDir dir_;
  std::set<std::string> met_;  // known defects met
};

#define STEP_CHECKS(step)                                                       \
  for (const KnownDefect* d : (defects = Known(c, step))) met_.insert(d->name); \
  for (const KnownDefect* d : defects)                                          \
    if (!d->item) GTEST_SKIP() << "known defect: " << d->name

TEST_P(CombinationTest, EveryStepShowsWhatWasPutIn) {
  const auto [compression, secret, utf8, origin] = GetParam();
  const Combo c{compression, secret, utf8, origin};
  const char* pw = secret ? "pw" : nullptr;
  const bool host_order = origin != kComposedOtherOrder;
  const View own{utf8, utf8, utf8, 1, host_order},
      other{!utf8, utf8, utf8, utf8 ? 1 : 3, host_order};
  const std::string source = dir_.File("source.vexa");
  std::vector<const KnownDefect*> defects;
  Interface interface;
  interface.Use(utf8);

  // Our writer takes byte code when it protects a file itself: a protected
  // zlib file is our zlib file encrypted.
  if (origin == kWritten) {
    const bool encrypt_after = secret && compression == 2;
    const std::string plain = encrypt_after ? dir_.File("plain.vexa") : source;
    int h = -1;
    ASSERT_EQ(OpenWrite(plain, encrypt_after ? nullptr : pw, &h), VEXA_OK);
    EXPECT_EQ(Each({Define(h, own), vexaSetCompression(h, compression), vexaCommitHeader(h),
                    WriteRows(h, own, 0, 3)}),
              VEXA_OK);
    ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
    if (encrypt_after) Protect(source, ReadFile(plain));
  } else {
    const std::string bytes = Composed(c, (std::endian::native == std::endian::big) == host_order);
    secret ? Protect(source, bytes) : static_cast<void>(dir_.Write("source.vexa", bytes));
  }
  STEP_CHECKS(kRead);
  ExpectFile(source, pw, Expected(own, compression, 3), defects);

  // Cases are added only to a file of this machine's byte order in the
  // interface's encoding.
  STEP_CHECKS(kAppend);
  int h = -1, cases = 3;
  interface.Use(!utf8);
  EXPECT_EQ(OpenAppend(source, pw, &h), VEXA_E_CANNOT_APPEND);
  interface.Use(utf8);
  if (!host_order) {
    EXPECT_EQ(OpenAppend(source, pw, &h), VEXA_E_CANNOT_APPEND);
  } else {
    ASSERT_EQ(OpenAppend(source, pw, &h), VEXA_OK);
    EXPECT_EQ(Each({WriteRows(h, own, 3, 5), vexaCloseAppend(h)}), VEXA_OK);
    cases = 5;
  }
  ExpectFile(source, pw, Expected(own, compression, cases), defects);

  STEP_CHECKS(kReadOther);
  interface.Use(!utf8);
  ExpectFile(source, pw, Expected(other, compression, cases), defects);

  // A copy takes the dictionary (and a protected one is written in byte
  // code).
  STEP_CHECKS(kCopy);
  interface.Use(utf8);
  const std::string copy = dir_.File("copy.vexa");
  ASSERT_EQ(secret ? vexaOpenWriteCopyEx(copy.c_str(), "new", source.c_str(), pw, &h)
                   : vexaOpenWriteCopy(copy.c_str(), source.c_str(), &h),
            VEXA_OK);
  EXPECT_EQ(Each({vexaSetCompression(h, compression), vexaCommitHeader(h), WriteRows(h, own, 0, 2),
                  vexaCloseWrite(h)}),
            VEXA_OK);
  ExpectFile(copy, secret ? "new" : nullptr,
             Expected({utf8, utf8, utf8}, secret && compression == 2 ? 1 : compression, 2),
             defects);

  // Converting: the dictionary and the cases as the other interface
  // encoding reads them, into a plain file of that encoding.
  STEP_CHECKS(kConvert);
  interface.Use(!utf8);
  const std::string converted = dir_.File("converted.vexa");
  int r = -1, size = 0;
  ASSERT_EQ(OpenRead(source, pw, &r), VEXA_OK);
  ASSERT_EQ(secret ? vexaOpenWriteCopyExDict(converted.c_str(), source.c_str(), pw, &h)
                   : vexaOpenWriteCopy(converted.c_str(), source.c_str(), &h),
            VEXA_OK);
  EXPECT_EQ(
      Each({vexaSetCompression(h, compression), vexaCommitHeader(h), vexaGetCaseSize(r, &size)}),
      VEXA_OK);
  std::vector<char> record(static_cast<size_t>(size));
  while (vexaWholeCaseIn(r, record.data()) == VEXA_OK) {
    EXPECT_EQ(vexaWholeCaseOut(h, record.data()), VEXA_OK);
  }
  EXPECT_EQ(Each({vexaCloseRead(r), vexaCloseWrite(h)}), VEXA_OK);
  ExpectFile(converted, nullptr, Expected({!utf8, !utf8, utf8, other.widen}, compression, cases),
             defects);
  if (!met_.empty()) {
    std::string names;
    for (const std::string& name : met_) names += (names.empty() ? "" : "; ") + name;
    GTEST_SKIP() << "known defects: " << names;
  }
}

std::string ComboName(const ::testing::TestParamInfo<CombinationTest::ParamType>& info) {
  const auto [compression, secret, utf8, origin] = info.param;
  const char* compressions[] = {"Uncompressed", "ByteCode", "Zlib"};
  const char* origins[] = {"Written", "ComposedHostOrder", "ComposedOtherOrder"};
  return std::string(compressions[compression]) + (secret ? "Protected" : "Plain") +
         (utf8 ? "Utf8" : "Cp1252") + origins[origin];
}

INSTANTIATE_TEST_SUITE_P(
    All, CombinationTest,
    ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Bool(), ::testing::Bool(),
                       ::testing::Values(kWritten, kComposedHostOrder, kComposedOtherOrder)),
    ComboName);

}  // namespace
}  // namespace vexa::testing
