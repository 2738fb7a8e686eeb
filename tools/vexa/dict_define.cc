#include "dict_define.h"

#include <vector>

#include "api/handle_table.h"
#include "dict/dictionary.h"
#include "dict/format_code.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr size_t kFileLabelBytes = 64;

// The longest prefix of `text` of at most `max` bytes that does not split a
// UTF-8 character.
std::string_view WholeUtf8Prefix(std::string_view text, size_t max) {
  if (text.size() <= max) return text;
  size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return text.substr(0, end);
}

int SetFormat(int handle, const VariableSummary& v, const std::string& text,
              bool write, std::string* detail) {
  if (text.empty()) return VEXA_OK;
  Format f;
  int bad = write ? VEXA_E_BAD_WRITE_FORMAT : VEXA_E_BAD_PRINT_FORMAT;
  if (!ParseFormat(text, &f)) {
    *detail = "format '" + text + "'";
    return bad;
  }
  int code = write ? vexaSetVarWriteFormat(handle, v.name.c_str(), f.type,
                                           f.decimals, f.width)
                   : vexaSetVarPrintFormat(handle, v.name.c_str(), f.type,
                                           f.decimals, f.width);
  if (code > 0) *detail = "format '" + text + "'";
  return code;
}

int SetValueLabels(int handle, const VariableSummary& v) {
  for (const ValueLabel& l : v.value_labels) {
    int code = v.type == 0 ? vexaSetVarNValueLabel(handle, v.name.c_str(),
                                                   l.number, l.label.c_str())
                           : vexaSetVarCValueLabel(handle, v.name.c_str(),
                                                   l.text.c_str(),
                                                   l.label.c_str());
    if (code > 0) return code;
  }
  return VEXA_OK;
}

int SetMissing(int handle, const VariableSummary& v) {
  const MissingValues& m = v.missing;
  if (m.code == 0) return VEXA_OK;
  if (v.type == 0) {
    return vexaSetVarNMissingValues(handle, v.name.c_str(), m.code,
                                    m.numbers[0], m.numbers[1], m.numbers[2]);
  }
  // Texts after the count are passed as null, as the setter expects.
  const char* texts[3] = {nullptr, nullptr, nullptr};
  for (int i = 0; i < m.Count(); ++i) texts[i] = m.texts[i].c_str();
  return vexaSetVarCMissingValues(handle, v.name.c_str(), m.code, texts[0],
                                  texts[1], texts[2]);
}

int DefineVariable(int handle, const VariableSummary& v, std::string* detail) {
  const char* name = v.name.c_str();
  struct Step {
    const char* what;
    int code;
  };
  int code = vexaSetVarName(handle, name, v.type);
  if (code > 0) {
    *detail = "variable '" + v.name + "'";
    return code;
  }
  std::string format_detail;
  const Step steps[] = {
      {"print format", SetFormat(handle, v, v.print_format, false, &format_detail)},
      {"write format", SetFormat(handle, v, v.write_format, true, &format_detail)},
      {"label", v.has_label ? vexaSetVarLabel(handle, name, v.label.c_str())
                            : VEXA_OK},
      {"measure", v.measure >= 0
                      ? vexaSetVarMeasureLevel(handle, name, v.measure)
                      : VEXA_OK},
      {"alignment", v.alignment >= 0
                        ? vexaSetVarAlignment(handle, name, v.alignment)
                        : VEXA_OK},
      {"display width", v.display_width > 0
                            ? vexaSetVarColumnWidth(handle, name, v.display_width)
                            : VEXA_OK},
      {"role", v.role >= 0 ? vexaSetVarRole(handle, name, v.role) : VEXA_OK},
      {"value labels", SetValueLabels(handle, v)},
      {"missing values", SetMissing(handle, v)},
      {"weight", v.is_weight ? vexaSetCaseWeightVar(handle, name) : VEXA_OK},
  };
  for (const Step& step : steps) {
    if (step.code > 0) {
      *detail = "variable '" + v.name + "', " + step.what;
      if (!format_detail.empty()) *detail += " " + format_detail;
      return step.code;
    }
  }
  return VEXA_OK;
}

// The file label, text information and raw extension records go through
// the C API; documents have no setter there, so they go straight into the
// write handle's dictionary as 80-byte lines.
int SetFileTexts(int handle, const FileSummary& dict, std::string* detail) {
  if (!dict.file_label.empty()) {
    const std::string label(WholeUtf8Prefix(dict.file_label, kFileLabelBytes));
    int code = vexaSetIdString(handle, label.c_str());
    if (code != VEXA_OK) return *detail = "file label", code;
  }
  if (dict.has_text_info) {
    int code = vexaSetTextInfo(handle, dict.text_info.c_str());
    if (code != VEXA_OK) return *detail = "text info", code;
  }
  for (const ExtensionSummary& e : dict.extensions) {
    int code = vexaSetExtensionData(handle, e.subtype, e.element_size,
                                    static_cast<int>(e.count), e.data.data());
    if (code != VEXA_OK) {
      *detail = "extension record " + std::to_string(e.subtype);
      return code;
    }
  }
  HandleRecord* record = nullptr;
  int code = HandleTable::Instance().Lookup(handle, Access::kDefine, &record);
  if (code != VEXA_OK) return code;
  if (!dict.documents.empty()) {
    std::string bytes;
    for (const std::string& line : dict.documents) {
      std::string_view text = WholeUtf8Prefix(line, kDocumentLineBytes);
      bytes.append(text);
      bytes.append(kDocumentLineBytes - text.size(), ' ');
    }
    record->Dict().Extensions().Set(kDocumentsType, 1,
                                    static_cast<int64_t>(bytes.size()),
                                    bytes.data());
  }
  return VEXA_OK;
}

}  // namespace

int DefineDictionary(int handle, const FileSummary& dict, std::string* detail) {
  for (const VariableSummary& v : dict.variables) {
    int code = DefineVariable(handle, v, detail);
    if (code != VEXA_OK) return code;
  }
  return SetFileTexts(handle, dict, detail);
}

}  // namespace vexa::tool
