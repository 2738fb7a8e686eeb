#include "passwords.h"
#include "file_summary.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr int kTextInfoType = 10;
constexpr int kLastSubtype = 40;  // the highest vexaQueryType7 answers for

void ReadValueLabels(int handle, VariableSummary& v) {
  const char* name = v.name.c_str();
  char** labels = nullptr;
  int n = 0;
  if (v.IsNumeric()) {
    double* values = nullptr;
    if (vexaGetVarNValueLabels(handle, name, &values, &labels, &n) != VEXA_OK) {
      return;
    }
    for (int i = 0; i < n; ++i) {
      v.value_labels.push_back({values[i], "", labels[i]});
    }
    vexaFreeVarNValueLabels(values, labels, n);
    return;
  }
  char** values = nullptr;
  if (vexaGetVarCValueLabels(handle, name, &values, &labels, &n) != VEXA_OK) {
    return;
  }
  for (int i = 0; i < n; ++i) {
    v.value_labels.push_back(
        {0.0, std::string(TrimTrailingBlanks(values[i])), labels[i]});
  }
  vexaFreeVarCValueLabels(values, labels, n);
}

void ReadMissingValues(int handle, VariableSummary& v) {
  MissingValues& m = v.missing;
  if (v.IsNumeric()) {
    vexaGetVarNMissingValues(handle, v.name.c_str(), &m.code, &m.numbers[0],
                             &m.numbers[1], &m.numbers[2]);
    return;
  }
  char texts[3][9];
  vexaGetVarCMissingValues(handle, v.name.c_str(), &m.code, texts[0], texts[1],
                           texts[2]);
  for (int i = 0; i < m.Count() && i < 3; ++i) {
    m.texts[i] = TrimTrailingBlanks(texts[i]);
  }
}

VariableSummary SummarizeVariable(int handle, int index) {
  VariableSummary v;
  char name[VEXA_NAME_BUFFER];
  vexaGetVarInfo(handle, index, name, &v.type);
  v.name = name;
  FormatSpec& p = v.print_format;
  vexaGetVarPrintFormat(handle, name, &p.type, &p.decimals, &p.width);
  FormatSpec& w = v.write_format;
  vexaGetVarWriteFormat(handle, name, &w.type, &w.decimals, &w.width);
  char label[1024];
  int length = 0;
  v.has_label = vexaGetVarLabelLong(handle, name, label, sizeof label,
                                    &length) == VEXA_OK;
  if (v.has_label) v.label.assign(label, static_cast<size_t>(length));
  vexaGetVarMeasureLevel(handle, name, &v.measure);
  vexaGetVarAlignment(handle, name, &v.alignment);
  vexaGetVarColumnWidth(handle, name, &v.display_width);
  vexaGetVarRole(handle, name, &v.role);
  ReadValueLabels(handle, v);
  ReadMissingValues(handle, v);
  return v;
}

// The creation time from the getter's "dd-Mon-yy" and "hh:mm:ss". A file
// holds two-digit years, taken as 1970 to 2069. A file without a valid
// time stamp reports date value 0, 14 Oct 1582 at midnight, which comes
// out as "14-Oct-82" and "00:00:00" and is taken as none.
void ReadTimeStamp(int handle, FileSummary* s) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr",
                                        "May", "Jun", "Jul", "Aug",
                                        "Sep", "Oct", "Nov", "Dec"};
  char date[VEXA_DATE_BUFFER], time[VEXA_TIME_BUFFER];
  if (vexaGetTimeStamp(handle, date, time) != VEXA_OK ||
      (std::strcmp(date, "14-Oct-82") == 0 && std::strcmp(time, "00:00:00") == 0)) {
    return;
  }
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  char name[4] = {};
  if (std::sscanf(date, "%2d-%3c-%2d", &day, name, &year) != 3 ||
      std::sscanf(time, "%2d:%2d:%2d", &hour, &minute, &second) != 3) {
    return;
  }
  while (month < 12 && std::strcmp(kMonths[month], name) != 0) ++month;
  year += year < 70 ? 2000 : 1900;
  double days = 0, seconds = 0;
  if (month == 12 || vexaConvertDate(day, month + 1, year, &days) != VEXA_OK ||
      vexaConvertTime(0, hour, minute, second, &seconds) != VEXA_OK) {
    return;
  }
  s->time_stamp = days + seconds;
  char text[32];
  std::snprintf(text, sizeof text, "%02d %s %04d %02d:%02d:%02d", day,
                kMonths[month], year, hour, minute, second);
  s->created = text;
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month + 1, day, hour,
                minute, second);
  s->created_iso = text;
}

// Document lines without their trailing blanks.
void ReadDocuments(int handle, FileSummary* s) {
  int lines = 0;
  if (vexaGetDocuments(handle, nullptr, 0, &lines) != VEXA_OK || lines <= 0) {
    return;
  }
  std::string bytes(static_cast<size_t>(lines) * VEXA_DOCUMENT_LINE, ' ');
  if (vexaGetDocuments(handle, bytes.data(), static_cast<int>(bytes.size()),
                       &lines) != VEXA_OK) {
    return;
  }
  for (size_t at = 0; at < bytes.size(); at += VEXA_DOCUMENT_LINE) {
    s->documents.emplace_back(TrimTrailingBlanks(
        std::string_view(bytes).substr(at, VEXA_DOCUMENT_LINE)));
  }
}

// Attributes of the file (`var` null) or of a variable. The library hands
// out an attribute of several values as one "name[k]" entry per non-empty
// value; they are gathered here under the name, gaps left as "".
std::vector<Attribute> ReadAttributes(int handle, const char* var) {
  char** names = nullptr;
  char** values = nullptr;
  int n = 0;
  const int code = var ? vexaGetVarAttributes(handle, var, &names, &values, &n)
                       : vexaGetFileAttributes(handle, &names, &values, &n);
  std::vector<Attribute> out;
  if (code != VEXA_OK) return out;
  for (int i = 0; i < n; ++i) {
    std::string_view name = names[i];
    size_t index = 0;
    const size_t open = name.find('[');
    if (open != std::string_view::npos && name.back() == ']') {
      index = std::strtoul(std::string(name.substr(open + 1)).c_str(), nullptr, 10);
      name = name.substr(0, open);
    }
    if (out.empty() || out.back().name != name) out.push_back({std::string(name), {}});
    std::vector<std::string>& list = out.back().values;
    if (index == 0) index = list.size() + 1;
    if (list.size() < index) list.resize(index);
    list[index - 1] = values[i];
  }
  vexaFreeAttributes(names, values, n);
  return out;
}

void ReadMultRespSets(int handle, FileSummary* s) {
  int count = 0;
  if (vexaGetMultRespCount(handle, &count) != VEXA_OK) return;
  for (int i = 0; i < count; ++i) {
    VEXA_MultRespDef* def = nullptr;
    if (vexaGetMultRespDefByIndex(handle, i, &def) != VEXA_OK || def == nullptr) continue;
    MultRespSet set;
    set.name = def->name;
    set.label = def->label;
    set.dichotomies = def->isDichotomy != 0;
    if (set.dichotomies && def->countedValue != nullptr) set.counted_value = def->countedValue;
    set.numeric_counted = set.dichotomies && def->numericCounted != 0;
    set.extended = def->extended != 0;
    set.label_from_variables = def->labelFromVariables != 0;
    set.variables.assign(def->varNames, def->varNames + def->varCount);
    vexaFreeMultRespDefStruct(def);
    s->mult_resp_sets.push_back(std::move(set));
  }
}

// "name= V1 V2 ..." lines.
void ReadVariableSets(int handle, FileSummary* s) {
  char* text = nullptr;
  if (vexaGetVariableSets(handle, &text) != VEXA_OK || text == nullptr) return;
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t lf = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(std::min(lf + 1, rest.size()));
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    VariableSet set{std::string(line.substr(0, eq)), {}};
    for (std::string_view names = line.substr(eq + 1); !names.empty();) {
      const size_t blank = std::min(names.find(' '), names.size());
      if (blank > 0) set.variables.emplace_back(names.substr(0, blank));
      names.remove_prefix(std::min(blank + 1, names.size()));
    }
    s->variable_sets.push_back(std::move(set));
  }
  vexaFreeVariableSets(text);
}

// Sets, attributes and date variables.
void ReadMetadata(int handle, FileSummary* s) {
  s->attributes = ReadAttributes(handle, nullptr);
  for (VariableSummary& v : s->variables) v.attributes = ReadAttributes(handle, v.name.c_str());
  ReadMultRespSets(handle, s);
  ReadVariableSets(handle, s);
  int n = 0;
  int* dates = nullptr;
  if (vexaGetDateVariables(handle, &n, &dates) == VEXA_OK) s->date_variables.assign(dates, dates + n);
  vexaFreeDateVariables(dates);
}

// The whole data of a record of `count` elements of `size` bytes, read in
// pieces of whole elements; false when the library delivers short.
bool ReadRecordData(int handle, int subtype, int size, int count,
                    std::string* data) {
  if (size < 1 || count < 1) return false;
  constexpr int kPieceBytes = 1 << 16;
  const int room = size > kPieceBytes ? size : kPieceBytes / size * size;
  std::string piece(static_cast<size_t>(room), '\0');
  data->clear();
  for (int64_t left = count; left > 0;) {
    int n = 0;
    if (vexaGetExtensionData(handle, subtype, room, &n, piece.data()) !=
            VEXA_OK ||
        n <= 0) {
      return false;
    }
    data->append(piece, 0, static_cast<size_t>(n) * size);
    left -= n;
  }
  return true;
}

// The extension records the file held: the size, count and data of those a
// caller may read; the library refuses to describe the others.
void SummarizeExtensions(int handle, FileSummary* s) {
  for (int subtype = 1; subtype <= kLastSubtype; ++subtype) {
    int found = 0, size = 0, count = 0;
    if (vexaQueryType7(handle, subtype, &found) != VEXA_OK || found == 0) {
      continue;
    }
    ExtensionSummary e;
    e.subtype = subtype;
    if (vexaGetExtensionDataDesc(handle, subtype, &size, &count) == VEXA_OK) {
      e.element_size = size;
      e.count = count;
      if (subtype == kTextInfoType) {
        s->has_text_info =
            ReadRecordData(handle, subtype, size, count, &s->text_info);
      } else {
        e.has_data = ReadRecordData(handle, subtype, size, count, &e.data);
      }
    }
    s->extensions.push_back(std::move(e));
  }
}

}  // namespace

int Summarize(const std::string& path, FileSummary* s) {
  int handle = -1;
  int code = OpenRead(path, &handle);
  if (code != VEXA_OK) return code;
  vexaGetCompression(handle, &s->compression);
  s->form = s->compression == VEXA_COMPRESSION_ZLIB ? "zlib" : "plain";
  long long blocks = 0, data = 0, compressed = 0;
  vexaGetZlibBlockInfo(handle, &blocks, &data, &compressed);
  s->zlib_blocks = blocks;
  s->zlib_data = data;
  s->zlib_compressed = compressed;
  int cases = -1;
  vexaGetNumberofCases(handle, &cases);
  s->case_count = cases;
  ReadTimeStamp(handle, s);
  char text[VEXA_TEXT_INFO_BUFFER];
  vexaGetIdString(handle, text);
  s->file_label = text;
  vexaGetSystemString(handle, text);
  s->product = text;
  char encoding[VEXA_ENCODING_BUFFER];
  if (vexaGetFileEncoding(handle, encoding) == VEXA_OK) s->encoding = encoding;
  vexaGetFileCodePage(handle, &s->code_page);
  s->has_release = vexaGetReleaseInfo(handle, s->release) == VEXA_OK;

  int count = 0;
  vexaGetNumberofVariables(handle, &count);
  char weight[VEXA_NAME_BUFFER];
  if (vexaGetCaseWeightVar(handle, weight) != VEXA_OK) weight[0] = '\0';
  for (int i = 0; i < count; ++i) {
    s->variables.push_back(SummarizeVariable(handle, i));
    s->variables.back().is_weight = s->variables.back().name == weight;
  }
  ReadDocuments(handle, s);
  ReadMetadata(handle, s);
  SummarizeExtensions(handle, s);
  vexaCloseRead(handle);
  return VEXA_OK;
}

}  // namespace vexa::tool
