#include "file_summary.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

#include "api/handle_table.h"
#include "dict/format_code.h"
#include "dict/names.h"
#include "support/calendar.h"
#include "sysfile/file_kind.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

std::string FormatName(int type, int decimals, int width) {
  return FormatToString(Format{static_cast<uint16_t>(width),
                               static_cast<uint8_t>(type),
                               static_cast<uint8_t>(decimals)});
}

void ReadValueLabels(int handle, VariableSummary& v) {
  const char* name = v.name.c_str();
  char** labels = nullptr;
  int n = 0;
  if (v.type == 0) {
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
  if (v.type == 0) {
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
  int t, d, w;
  vexaGetVarPrintFormat(handle, name, &t, &d, &w);
  v.print_format = FormatName(t, d, w);
  vexaGetVarWriteFormat(handle, name, &t, &d, &w);
  v.write_format = FormatName(t, d, w);
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

// The reason an open failed, from the reader itself.
std::string FailureDetail(const std::string& path) {
  try {
    SystemFileDataSource::OpenForReading(path);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

std::string ReadForm(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "";
  char head[kFileKindProbeBytes];
  size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  switch (DetectFileKind(head, n)) {
    case FileKind::kPLAIN: return "plain";
    case FileKind::kZLIB: return "zlib";
    case FileKind::kENCRYPTED: return "encrypted";
  }
  return "unknown";
}

// The whole data of a record a caller may read, in pieces of whole
// elements; false when the library refuses the subtype or delivers short.
bool ReadRecordData(int handle, int subtype, std::string* data) {
  int size = 0, count = 0;
  if (vexaGetExtensionDataDesc(handle, subtype, &size, &count) != VEXA_OK ||
      count == 0) {
    return false;
  }
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

// The extension records the file held, from the header's flags: the size
// and count of those kept raw, the data of those a caller may set.
void SummarizeExtensions(int handle, const FileHeader& header,
                         const Dictionary& dict, FileSummary* s) {
  constexpr int kTextInfoType = 10;
  s->has_text_info = ReadRecordData(handle, kTextInfoType, &s->text_info);
  for (size_t subtype = 1; subtype < header.subtypes_seen.size(); ++subtype) {
    if (!header.subtypes_seen.test(subtype)) continue;
    ExtensionSummary e;
    e.subtype = static_cast<int>(subtype);
    if (const VEXA_ExtensionImpl* raw = dict.Extensions().Get(e.subtype)) {
      e.element_size = raw->element_size;
      e.count = raw->ElementCount();
    }
    if (e.subtype != kTextInfoType) {
      e.has_data = ReadRecordData(handle, e.subtype, &e.data);
    }
    s->extensions.push_back(std::move(e));
  }
}

}  // namespace

int Summarize(const std::string& path, FileSummary* s, std::string* detail) {
  int handle = -1;
  int code = vexaOpenReadU8(path.c_str(), &handle);
  if (code != VEXA_OK) {
    *detail = FailureDetail(path);
    return code;
  }
  HandleRecord* record = nullptr;
  HandleTable::Instance().Lookup(handle, Access::kAny, &record);
  const SystemFileDataSource& file = *record->sysfile;
  const FileHeader& header = file.Header();
  const Dictionary& dict = file.GetDictionary();

  s->form = ReadForm(path);
  s->compression = header.compression;
  s->big_endian = header.byte_swapped;
  s->case_count = header.case_count;
  s->time_stamp = dict.TimeStamp();
  char label[VEXA_ID_STRING_BUFFER];
  vexaGetIdString(handle, label);
  s->file_label = label;
  s->has_release = vexaGetReleaseInfo(handle, s->release) == VEXA_OK;
  s->product = header.product;

  int count = 0;
  vexaGetNumberofVariables(handle, &count);
  int weight = dict.WeightIndex();
  for (int i = 0; i < count; ++i) {
    s->variables.push_back(SummarizeVariable(handle, i));
    s->variables.back().is_weight = (i == weight);
  }
  if (const VEXA_ExtensionImpl* docs = dict.Extensions().Get(kDocumentsType)) {
    const std::string& bytes = docs->contents;
    for (size_t at = 0; at + kDocumentLineBytes <= bytes.size();
         at += kDocumentLineBytes) {
      s->documents.emplace_back(TrimTrailingBlanks(
          std::string_view(bytes).substr(at, kDocumentLineBytes)));
    }
  }
  SummarizeExtensions(handle, header, dict, s);
  vexaCloseRead(handle);
  return VEXA_OK;
}

std::string FormatTimeStamp(double seconds) {
  // Beyond the year 9999 a value is not a creation time.
  if (!(seconds > 0.0 && seconds < 3e11)) return "";
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr",
                                        "May", "Jun", "Jul", "Aug",
                                        "Sep", "Oct", "Nov", "Dec"};
  auto total = static_cast<int64_t>(seconds);
  int64_t rest = total % kSecondsPerDay;
  CivilDate date = DateOfDayNumber(total / kSecondsPerDay);
  char out[64];
  std::snprintf(out, sizeof out, "%02d %s %04d %02d:%02d:%02d",
                date.day, kMonths[date.month - 1],
                static_cast<int>(date.year), static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  return out;
}

}  // namespace vexa::tool
