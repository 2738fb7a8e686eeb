#include "summary_json.h"

#include <cmath>
#include <cstdint>

#include "csv_values.h"
#include "hex_text.h"

namespace vexa::tool {
namespace {

using Json = nlohmann::ordered_json;

Json Value(const VariableSummary& v, double number, const std::string& text) {
  return v.IsNumeric() ? JsonNumber(number) : Json(text);
}

Json ValueLabels(const VariableSummary& v) {
  Json list = Json::array();
  for (const ValueLabel& l : v.value_labels) {
    list.push_back({{"value", Value(v, l.number, l.text)}, {"label", l.label}});
  }
  return list;
}

Json Missing(const VariableSummary& v) {
  Json values = Json::array();
  for (int i = 0; i < v.missing.Count() && i < 3; ++i) {
    values.push_back(Value(v, v.missing.numbers[i], v.missing.texts[i]));
  }
  return {{"code", v.missing.code}, {"values", values}};
}

// Size and count are null for a record the library keeps to itself; "data" is
// the hex text of a record a caller may set.
Json Extensions(const FileSummary& s) {
  Json list = Json::array();
  for (const ExtensionSummary& e : s.extensions) {
    Json item = {{"subtype", e.subtype},
                 {"element_size", e.count < 0 ? Json() : Json(e.element_size)},
                 {"count", e.count < 0 ? Json() : Json(e.count)}};
    if (e.has_data) item["data"] = ToHex(e.data);
    list.push_back(std::move(item));
  }
  return list;
}

// {"name": "value", "several": ["a", "", "c"]}, in the file's order.
Json Attributes(const std::vector<Attribute>& attributes) {
  Json object = Json::object();
  for (const Attribute& a : attributes) {
    object[a.name] = a.values.size() == 1 ? Json(a.values[0]) : Json(a.values);
  }
  return object;
}

Json MultRespSets(const FileSummary& s) {
  Json list = Json::array();
  for (const MultRespSet& m : s.mult_resp_sets) {
    Json set = {{"name", m.name},
                {"label", m.label},
                {"kind", m.dichotomies ? "dichotomies" : "categories"}};
    if (m.dichotomies) {
      double number = 0;
      set["counted_value"] = m.numeric_counted && ParseNumber(m.counted_value, &number)
                                 ? JsonNumber(number)
                                 : Json(m.counted_value);
      set["extended"] = m.extended;
      set["label_from_variables"] = m.label_from_variables;
    }
    set["variables"] = m.variables;
    list.push_back(std::move(set));
  }
  return list;
}

Json VariableSets(const FileSummary& s) {
  Json list = Json::array();
  for (const VariableSet& v : s.variable_sets) {
    list.push_back({{"name", v.name}, {"variables", v.variables}});
  }
  return list;
}

Json Variable(const VariableSummary& v) {
  Json var = {{"name", v.name},
          {"type", v.type},
          {"print_format", FormatText(v.print_format)},
          {"write_format", FormatText(v.write_format)},
          {"label", v.has_label ? Json(v.label) : Json()},
          {"measure", MeasureName(v.measure)},
          {"alignment", AlignmentName(v.alignment)},
          {"display_width", v.display_width},
          {"role", RoleName(v.role)},
          {"weight", v.is_weight},
          {"value_labels", ValueLabels(v)},
          {"missing", Missing(v)}};
  if (!v.attributes.empty()) var["attributes"] = Attributes(v.attributes);
  return var;
}

}  // namespace

Json JsonNumber(double value) {
  constexpr double kExact = 9007199254740992.0;  // 2^53
  if (value == std::floor(value) && std::fabs(value) <= kExact) {
    return Json(static_cast<int64_t>(value));
  }
  return Json(value);
}

Json SummaryJson(const FileSummary& s) {
  Json doc;
  doc["form"] = s.form;
  doc["compression"] = CompressionName(s.compression);
  doc["case_count"] = s.case_count;
  doc["created"] = s.created_iso.empty() ? Json() : Json(s.created_iso);
  doc["time_stamp"] = JsonNumber(s.time_stamp);
  doc["file_label"] = s.file_label;
  doc["product"] = s.product;
  doc["encoding"] = s.encoding;
  doc["code_page"] = s.code_page > 0 ? Json(s.code_page) : Json();
  doc["release"] = s.has_release ? Json(s.release) : Json();
  doc["text_info"] = s.has_text_info ? Json(s.text_info) : Json();
  Json& variables = doc["variables"] = Json::array();
  for (const VariableSummary& v : s.variables) variables.push_back(Variable(v));
  doc["documents"] = s.documents;
  doc["attributes"] = Attributes(s.attributes);
  doc["multiple_response_sets"] = MultRespSets(s);
  doc["variable_sets"] = VariableSets(s);
  doc["date_variables"] = s.date_variables.empty() ? Json() : Json(s.date_variables);
  doc["extensions"] = Extensions(s);
  return doc;
}

}  // namespace vexa::tool
