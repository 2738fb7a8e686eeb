#include "dict_define.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr size_t kFileLabelBytes = 64;

bool Failed(int code) { return code > 0; }

int SetValueLabels(int handle, const VariableSummary& v, std::vector<std::string>* cut) {
  for (const ValueLabel& l : v.value_labels) {
    int code = v.IsNumeric() ? vexaSetVarNValueLabel(handle, v.name.c_str(),
                                                   l.number, l.label.c_str())
                           : vexaSetVarCValueLabel(handle, v.name.c_str(),
                                                   l.text.c_str(),
                                                   l.label.c_str());
    if (Failed(code)) return code;
    if (code == VEXA_W_VALUE_LABEL_TRUNCATED) {
      cut->push_back("variable '" + v.name + "': a value label cut to 120 bytes");
    }
  }
  return VEXA_OK;
}

int SetMissing(int handle, const VariableSummary& v) {
  const MissingValues& m = v.missing;
  if (m.code == 0) return VEXA_OK;
  if (v.IsNumeric()) {
    return vexaSetVarNMissingValues(handle, v.name.c_str(), m.code,
                                    m.numbers[0], m.numbers[1], m.numbers[2]);
  }
  // Texts after the count are passed as null, as the setter expects.
  const char* texts[3] = {nullptr, nullptr, nullptr};
  for (int i = 0; i < m.Count(); ++i) texts[i] = m.texts[i].c_str();
  return vexaSetVarCMissingValues(handle, v.name.c_str(), m.code, texts[0],
                                  texts[1], texts[2]);
}

// The attributes as the setters take them: a single value under the plain
// name, several as "name[k]" for each non-empty value k.
struct AttributeArrays {
  explicit AttributeArrays(const std::vector<Attribute>& attributes) {
    for (const Attribute& a : attributes) {
      for (size_t k = 0; k < a.values.size(); ++k) {
        if (a.values[k].empty()) continue;
        names.push_back(a.values.size() == 1 ? a.name
                                             : a.name + "[" + std::to_string(k + 1) + "]");
        values.push_back(a.values[k]);
      }
    }
    for (size_t i = 0; i < names.size(); ++i) {
      name_ptrs.push_back(names[i].c_str());
      value_ptrs.push_back(values[i].c_str());
    }
  }
  int count() const { return static_cast<int>(names.size()); }

  std::vector<std::string> names, values;
  std::vector<const char*> name_ptrs, value_ptrs;
};

}  // namespace

int DefineVariable(int handle, const VariableSummary& v, std::string* what,
                   std::vector<std::string>* cut) {
  const char* name = v.name.c_str();
  const FormatSpec& p = v.print_format;
  const FormatSpec& w = v.write_format;
  int code = VEXA_OK;
  // Each step runs only when the ones before it succeeded. The property,
  // and the format it sets, are put in words for the step that fails only.
  auto step = [&](const char* property, bool wanted, auto&& call,
                  const FormatSpec* format = nullptr) {
    if (Failed(code) || !wanted) return;
    code = call();
    if (!Failed(code)) return;
    *what = "variable '" + v.name + "', " + property;
    if (format != nullptr) *what += " " + FormatText(*format);
  };
  step("definition", true, [&] { return vexaSetVarName(handle, name, v.type); });
  step("print format", p.type >= 0, [&] {
    return vexaSetVarPrintFormat(handle, name, p.type, p.decimals, p.width);
  }, &p);
  step("write format", w.type >= 0, [&] {
    return vexaSetVarWriteFormat(handle, name, w.type, w.decimals, w.width);
  }, &w);
  step("label", v.has_label, [&] {
    const int result = vexaSetVarLabel(handle, name, v.label.c_str());
    if (result == VEXA_W_LABEL_TRUNCATED) {
      cut->push_back("variable '" + v.name + "': label cut to 256 bytes");
    }
    return result;
  });
  // Before the measure and the role, which the library keeps among the
  // attributes that this call replaces.
  step("attributes", !v.attributes.empty(), [&] {
    AttributeArrays a(v.attributes);
    return vexaSetVarAttributes(handle, name, a.name_ptrs.data(), a.value_ptrs.data(), a.count());
  });
  step("measure", v.measure >= 0,
       [&] { return vexaSetVarMeasureLevel(handle, name, v.measure); });
  step("alignment", v.alignment >= 0,
       [&] { return vexaSetVarAlignment(handle, name, v.alignment); });
  step("display width", v.display_width > 0,
       [&] { return vexaSetVarColumnWidth(handle, name, v.display_width); });
  step("role", v.role >= 0, [&] { return vexaSetVarRole(handle, name, v.role); });
  step("value labels", true, [&] { return SetValueLabels(handle, v, cut); });
  step("missing values", true, [&] { return SetMissing(handle, v); });
  step("weight", v.is_weight, [&] { return vexaSetCaseWeightVar(handle, name); });
  return Failed(code) ? code : VEXA_OK;
}

namespace {

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

int SetFileTexts(int handle, const FileSummary& dict, std::string* what,
                 std::vector<std::string>* cut) {
  if (dict.file_label.size() > kFileLabelBytes) {
    cut->push_back("file label cut to " + std::to_string(kFileLabelBytes) + " bytes");
  }
  for (const std::string& line : dict.documents) {
    if (line.size() > VEXA_DOCUMENT_LINE) {
      cut->push_back("document line cut to " + std::to_string(VEXA_DOCUMENT_LINE) + " bytes: " +
                     std::string(WholeUtf8Prefix(line, VEXA_DOCUMENT_LINE)));
    }
  }
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

int AddMultRespSet(int handle, const MultRespSet& m) {
  VEXA_MultRespDef def{};
  std::snprintf(def.name, sizeof def.name, "%s", m.name.c_str());
  std::snprintf(def.label, sizeof def.label, "%s", m.label.c_str());
  def.isDichotomy = m.dichotomies;
  def.numericCounted = m.numeric_counted;
  def.extended = m.extended;
  def.labelFromVariables = m.label_from_variables;
  std::string counted = m.counted_value;
  if (m.numeric_counted) def.countedInt = std::atoi(counted.c_str());
  def.countedValue = counted.data();
  std::vector<std::string> names = m.variables;
  std::vector<char*> pointers;
  for (std::string& n : names) pointers.push_back(n.data());
  def.varNames = pointers.data();
  def.varCount = static_cast<int>(pointers.size());
  return vexaAddMultRespDefExt(handle, &def);
}

// Attributes, sets and the date variables of the file.
int SetMetadata(int handle, const FileSummary& dict, std::string* what) {
  if (!dict.attributes.empty()) {
    AttributeArrays a(dict.attributes);
    int code = vexaSetFileAttributes(handle, a.name_ptrs.data(), a.value_ptrs.data(), a.count());
    if (Failed(code)) return *what = "file attributes", code;
  }
  for (const MultRespSet& m : dict.mult_resp_sets) {
    int code = AddMultRespSet(handle, m);
    if (Failed(code)) return *what = "multiple-response set " + m.name, code;
  }
  if (!dict.variable_sets.empty()) {
    std::string lines;
    for (const VariableSet& v : dict.variable_sets) {
      lines += v.name + "=";
      for (const std::string& n : v.variables) lines += " " + n;
      lines += "\n";
    }
    int code = vexaSetVariableSets(handle, lines.c_str());
    if (Failed(code)) return *what = "variable sets", code;
  }
  if (!dict.date_variables.empty()) {
    // The setter stores the pair from entries 4 and 3: handed in swapped,
    // it is kept as the getter handed it out.
    std::vector<int> dates = dict.date_variables;
    if (dates.size() > 4) std::swap(dates[3], dates[4]);
    int code = vexaSetDateVariables(handle, static_cast<int>(dates.size()), dates.data());
    if (Failed(code)) return *what = "date variables", code;
  }
  return VEXA_OK;
}

}  // namespace

int DefineDictionary(int handle, const FileSummary& dict, std::string* what,
                     std::vector<std::string>* cut) {
  for (const VariableSummary& v : dict.variables) {
    int code = DefineVariable(handle, v, what, cut);
    if (code != VEXA_OK) return code;
  }
  int code = SetFileTexts(handle, dict, what, cut);
  return code != VEXA_OK ? code : SetMetadata(handle, dict, what);
}

}  // namespace vexa::tool
