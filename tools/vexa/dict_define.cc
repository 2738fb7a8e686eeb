#include "dict_define.h"

#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr size_t kFileLabelBytes = 64;

bool Failed(int code) { return code > 0; }

int SetValueLabels(int handle, const VariableSummary& v) {
  for (const ValueLabel& l : v.value_labels) {
    int code = v.type == 0 ? vexaSetVarNValueLabel(handle, v.name.c_str(),
                                                   l.number, l.label.c_str())
                           : vexaSetVarCValueLabel(handle, v.name.c_str(),
                                                   l.text.c_str(),
                                                   l.label.c_str());
    if (Failed(code)) return code;
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

int DefineVariable(int handle, const VariableSummary& v, std::string* what) {
  const char* name = v.name.c_str();
  const FormatSpec& p = v.print_format;
  const FormatSpec& w = v.write_format;
  int code = VEXA_OK;
  // Each step runs only when the ones before it succeeded.
  auto step = [&](const std::string& property, bool wanted, auto&& call) {
    if (Failed(code) || !wanted) return;
    code = call();
    if (Failed(code)) *what = "variable '" + v.name + "', " + property;
  };
  step("definition", true, [&] { return vexaSetVarName(handle, name, v.type); });
  step("print format " + FormatText(p), p.type >= 0, [&] {
    return vexaSetVarPrintFormat(handle, name, p.type, p.decimals, p.width);
  });
  step("write format " + FormatText(w), w.type >= 0, [&] {
    return vexaSetVarWriteFormat(handle, name, w.type, w.decimals, w.width);
  });
  step("label", v.has_label,
       [&] { return vexaSetVarLabel(handle, name, v.label.c_str()); });
  step("measure", v.measure >= 0,
       [&] { return vexaSetVarMeasureLevel(handle, name, v.measure); });
  step("alignment", v.alignment >= 0,
       [&] { return vexaSetVarAlignment(handle, name, v.alignment); });
  step("display width", v.display_width > 0,
       [&] { return vexaSetVarColumnWidth(handle, name, v.display_width); });
  step("role", v.role >= 0, [&] { return vexaSetVarRole(handle, name, v.role); });
  step("value labels", true, [&] { return SetValueLabels(handle, v); });
  step("missing values", true, [&] { return SetMissing(handle, v); });
  step("weight", v.is_weight, [&] { return vexaSetCaseWeightVar(handle, name); });
  return Failed(code) ? code : VEXA_OK;
}

// The documents as the library takes them: 80-byte lines, blank padded.
std::string DocumentLines(const FileSummary& dict) {
  std::string bytes;
  for (const std::string& line : dict.documents) {
    std::string_view text = WholeUtf8Prefix(line, VEXA_DOCUMENT_LINE);
    bytes.append(text);
    bytes.append(VEXA_DOCUMENT_LINE - text.size(), ' ');
  }
  return bytes;
}

int SetFileTexts(int handle, const FileSummary& dict, std::string* what) {
  if (!dict.file_label.empty()) {
    const std::string label(WholeUtf8Prefix(dict.file_label, kFileLabelBytes));
    int code = vexaSetIdString(handle, label.c_str());
    if (Failed(code)) return *what = "file label", code;
  }
  if (!dict.documents.empty()) {
    const std::string lines = DocumentLines(dict);
    int code = vexaSetDocuments(handle, lines.data(),
                                static_cast<int>(dict.documents.size()));
    if (Failed(code)) return *what = "documents", code;
  }
  if (dict.has_text_info) {
    int code = vexaSetTextInfo(handle, dict.text_info.c_str());
    if (Failed(code)) return *what = "text info", code;
  }
  for (const ExtensionSummary& e : dict.extensions) {
    int code = vexaSetExtensionData(handle, e.subtype, e.element_size,
                                    static_cast<int>(e.count), e.data.data());
    if (Failed(code)) {
      *what = "extension record " + std::to_string(e.subtype);
      return code;
    }
  }
  return VEXA_OK;
}

}  // namespace

int DefineDictionary(int handle, const FileSummary& dict, std::string* what) {
  for (const VariableSummary& v : dict.variables) {
    int code = DefineVariable(handle, v, what);
    if (code != VEXA_OK) return code;
  }
  return SetFileTexts(handle, dict, what);
}

}  // namespace vexa::tool
