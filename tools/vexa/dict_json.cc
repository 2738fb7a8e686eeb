#include "dict_json.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>

#include "hex_text.h"

namespace vexa::tool {
namespace {

using JsonValue = nlohmann::ordered_json;

// The member of an object with this key, or null when absent or not an object.
const JsonValue* Find(const JsonValue& obj, const char* key) {
  if (!obj.is_object()) return nullptr;
  auto it = obj.find(key);
  return it == obj.end() ? nullptr : &*it;
}

// Collects the first error; each Get* returns false after recording it.
class Reader {
 public:
  explicit Reader(std::string* error) : error_(error) {}

  bool Fail(const std::string& where, const char* what) {
    *error_ = where + ": " + what;
    return false;
  }

  // An optional string member: absent or null leaves *out alone.
  bool GetString(const JsonValue& obj, const char* key,
                 const std::string& where, std::string* out,
                 bool* present = nullptr) {
    const JsonValue* v = Find(obj, key);
    if (present != nullptr) *present = v != nullptr && !v->is_null();
    if (v == nullptr || v->is_null()) return true;
    if (!v->is_string()) return Fail(where + "." + key, "expected a string");
    *out = v->get<std::string>();
    return true;
  }

  bool GetInt(const JsonValue& obj, const char* key, const std::string& where,
              int* out) {
    const JsonValue* v = Find(obj, key);
    if (v == nullptr || v->is_null()) return true;
    const double number = v->is_number() ? v->get<double>() : 0.5;
    if (number != std::floor(number) || std::fabs(number) > 2147483647.0) {
      return Fail(where + "." + key, "expected an integer");
    }
    *out = static_cast<int>(number);
    return true;
  }

  // An optional format such as "F8.2"; absent, null or "" leaves *out alone.
  bool GetFormat(const JsonValue& obj, const char* key, const std::string& where,
                 FormatSpec* out) {
    std::string text;
    if (!GetString(obj, key, where, &text)) return false;
    if (!text.empty() && !ParseFormat(text, out)) {
      return Fail(where + "." + key, "not a format");
    }
    return true;
  }

  // An optional member given by name, turned into its code by `from_name`.
  bool GetNamed(const JsonValue& obj, const char* key, const std::string& where,
                bool (*from_name)(std::string_view, int*), int* out) {
    std::string name;
    bool present = false;
    if (!GetString(obj, key, where, &name, &present)) return false;
    if (present && !from_name(name, out)) {
      return Fail(where + "." + key, "unknown name");
    }
    return true;
  }

  bool Value(const JsonValue& v, bool numeric, const std::string& where,
             double* number, std::string* text) {
    if (numeric && v.is_number()) return *number = v.get<double>(), true;
    if (!numeric && v.is_string()) return *text = v.get<std::string>(), true;
    return Fail(where, numeric ? "expected a number" : "expected a string");
  }

  bool ValueLabels(const JsonValue& var, const std::string& where,
                   VariableSummary* v) {
    const JsonValue* list = Find(var, "value_labels");
    if (list == nullptr || list->is_null()) return true;
    if (!list->is_array()) return Fail(where + ".value_labels", "expected an array");
    for (size_t i = 0; i < list->size(); ++i) {
      const JsonValue& item = (*list)[i];
      std::string at = where + ".value_labels[" + std::to_string(i) + "]";
      const JsonValue* value = Find(item, "value");
      if (!item.is_object() || value == nullptr) return Fail(at, "expected {value, label}");
      ValueLabel l;
      if (!Value(*value, v->IsNumeric(), at + ".value", &l.number, &l.text) ||
          !GetString(item, "label", at, &l.label)) {
        return false;
      }
      v->value_labels.push_back(std::move(l));
    }
    return true;
  }

  bool Missing(const JsonValue& var, const std::string& where,
               VariableSummary* v) {
    const JsonValue* m = Find(var, "missing");
    if (m == nullptr || m->is_null()) return true;
    std::string at = where + ".missing";
    if (!m->is_object()) return Fail(at, "expected an object");
    if (!GetInt(*m, "code", at, &v->missing.code)) return false;
    int code = v->missing.code;
    if (code < -3 || code > 3 || code == -1 || (!v->IsNumeric() && code < 0)) {
      return Fail(at + ".code", "not a missing-value code of this variable");
    }
    const JsonValue* values = Find(*m, "values");
    if (values == nullptr || !values->is_array() ||
        static_cast<int>(values->size()) != v->missing.Count()) {
      return Fail(at + ".values", "expected as many values as the code says");
    }
    for (int i = 0; i < v->missing.Count(); ++i) {
      if (!Value((*values)[i], v->IsNumeric(), at + ".values",
                 &v->missing.numbers[i], &v->missing.texts[i])) {
        return false;
      }
    }
    return true;
  }

  // Records listed without "data" are the file's own business (the writer
  // makes them) and are left out.
  bool Extensions(const JsonValue& doc, FileSummary* out) {
    const JsonValue* list = Find(doc, "extensions");
    if (list == nullptr || list->is_null()) return true;
    if (!list->is_array()) return Fail("extensions", "expected an array");
    for (size_t i = 0; i < list->size(); ++i) {
      const JsonValue& item = (*list)[i];
      const std::string at = "extensions[" + std::to_string(i) + "]";
      if (!item.is_object()) return Fail(at, "expected an object");
      ExtensionSummary e;
      std::string hex;
      int count = -1;
      if (!GetInt(item, "subtype", at, &e.subtype) ||
          !GetInt(item, "element_size", at, &e.element_size) ||
          !GetInt(item, "count", at, &count) ||
          !GetString(item, "data", at, &hex, &e.has_data)) {
        return false;
      }
      if (!e.has_data) continue;
      e.count = count;
      if (!FromHex(hex, &e.data)) return Fail(at + ".data", "expected hex digits");
      if (e.element_size < 1 || e.count < 1 ||
          static_cast<int64_t>(e.data.size()) != e.element_size * e.count) {
        return Fail(at, "data does not hold count elements of element_size bytes");
      }
      out->extensions.push_back(std::move(e));
    }
    return true;
  }

  // {"name": "value" | ["value", ...]}; absent or null: none.
  bool Attributes(const JsonValue& owner, const std::string& where,
                  std::vector<Attribute>* out) {
    const JsonValue* object = Find(owner, "attributes");
    if (object == nullptr || object->is_null()) return true;
    const std::string at = where + ".attributes";
    if (!object->is_object()) return Fail(at, "expected an object");
    for (const auto& [name, value] : object->items()) {
      Attribute a{name, {}};
      if (value.is_string()) {
        a.values.push_back(value.get<std::string>());
      } else if (value.is_array() &&
                 std::all_of(value.begin(), value.end(),
                             [](const JsonValue& x) { return x.is_string(); })) {
        a.values = value.get<std::vector<std::string>>();
      } else {
        return Fail(at + "." + name, "expected a string or an array of strings");
      }
      out->push_back(std::move(a));
    }
    return true;
  }

  // An optional array of strings.
  bool GetNames(const JsonValue& obj, const char* key, const std::string& where,
                std::vector<std::string>* out) {
    const JsonValue* list = Find(obj, key);
    if (list == nullptr || list->is_null()) return true;
    if (!list->is_array() || !std::all_of(list->begin(), list->end(),
                                          [](const JsonValue& x) { return x.is_string(); })) {
      return Fail(where + "." + key, "expected an array of strings");
    }
    *out = list->get<std::vector<std::string>>();
    return true;
  }

  bool GetBool(const JsonValue& obj, const char* key, const std::string& where, bool* out) {
    const JsonValue* v = Find(obj, key);
    if (v == nullptr || v->is_null()) return true;
    if (!v->is_boolean()) return Fail(where + "." + key, "expected true or false");
    *out = v->get<bool>();
    return true;
  }

  // A list of objects, each read by `item` (which gets the object and where it is).
  template <typename Item>
  bool List(const JsonValue& doc, const char* key, Item&& item) {
    const JsonValue* list = Find(doc, key);
    if (list == nullptr || list->is_null()) return true;
    if (!list->is_array()) return Fail(key, "expected an array");
    for (size_t i = 0; i < list->size(); ++i) {
      const std::string at = std::string(key) + "[" + std::to_string(i) + "]";
      if (!(*list)[i].is_object()) return Fail(at, "expected an object");
      if (!item((*list)[i], at)) return false;
    }
    return true;
  }

  bool MultRespSets(const JsonValue& doc, FileSummary* out) {
    return List(doc, "multiple_response_sets", [&](const JsonValue& item, const std::string& at) {
      MultRespSet m;
      std::string kind = "categories";
      if (!GetString(item, "name", at, &m.name) || !GetString(item, "label", at, &m.label) ||
          !GetString(item, "kind", at, &kind) || !GetBool(item, "extended", at, &m.extended) ||
          !GetBool(item, "label_from_variables", at, &m.label_from_variables) ||
          !GetNames(item, "variables", at, &m.variables)) {
        return false;
      }
      if (kind != "categories" && kind != "dichotomies") {
        return Fail(at + ".kind", "expected \"categories\" or \"dichotomies\"");
      }
      m.dichotomies = kind == "dichotomies";
      const JsonValue* counted = Find(item, "counted_value");
      if (m.dichotomies) {
        if (counted != nullptr && counted->is_number_integer()) {
          m.numeric_counted = true;
          m.counted_value = std::to_string(counted->get<int64_t>());
        } else if (counted != nullptr && counted->is_string()) {
          m.counted_value = counted->get<std::string>();
        } else {
          return Fail(at + ".counted_value", "expected an integer or a string");
        }
      }
      out->mult_resp_sets.push_back(std::move(m));
      return true;
    });
  }

  bool VariableSets(const JsonValue& doc, FileSummary* out) {
    return List(doc, "variable_sets", [&](const JsonValue& item, const std::string& at) {
      VariableSet v;
      if (!GetString(item, "name", at, &v.name) || !GetNames(item, "variables", at, &v.variables)) {
        return false;
      }
      out->variable_sets.push_back(std::move(v));
      return true;
    });
  }

  bool DateVariables(const JsonValue& doc, FileSummary* out) {
    const JsonValue* list = Find(doc, "date_variables");
    if (list == nullptr || list->is_null()) return true;
    if (!list->is_array() || !std::all_of(list->begin(), list->end(), [](const JsonValue& x) {
          return x.is_number_integer();
        })) {
      return Fail("date_variables", "expected an array of integers");
    }
    out->date_variables = list->get<std::vector<int>>();
    return true;
  }

  bool Variable(const JsonValue& var, size_t index, VariableSummary* v) {
    std::string where = "variables[" + std::to_string(index) + "]";
    if (!var.is_object()) return Fail(where, "expected an object");
    bool has_name = false;
    if (!GetString(var, "name", where, &v->name, &has_name)) return false;
    if (!has_name) return Fail(where, "no name");
    where = "variable " + v->name;
    if (Find(var, "type") == nullptr) return Fail(where, "no type");
    v->measure = v->alignment = v->display_width = v->role = -1;
    const JsonValue* weight = Find(var, "weight");
    if (weight != nullptr && !weight->is_null() && !weight->is_boolean()) {
      return Fail(where + ".weight", "expected true or false");
    }
    v->is_weight = weight != nullptr && weight->get<bool>();
    return GetInt(var, "type", where, &v->type) &&
           GetFormat(var, "print_format", where, &v->print_format) &&
           GetFormat(var, "write_format", where, &v->write_format) &&
           GetString(var, "label", where, &v->label, &v->has_label) &&
           GetNamed(var, "measure", where, MeasureFromName, &v->measure) &&
           GetNamed(var, "alignment", where, AlignmentFromName, &v->alignment) &&
           GetInt(var, "display_width", where, &v->display_width) &&
           GetNamed(var, "role", where, RoleFromName, &v->role) &&
           ValueLabels(var, where, v) && Missing(var, where, v) &&
           Attributes(var, where, &v->attributes);
  }

 private:
  std::string* error_;
};

}  // namespace

bool DictionaryFromJson(const JsonValue& doc, FileSummary* out,
                        std::string* error) {
  Reader r(error);
  if (!doc.is_object()) return r.Fail("dictionary", "expected an object");
  out->compression = -1;
  if (!r.GetNamed(doc, "compression", "dictionary", CompressionFromName,
                  &out->compression) ||
      !r.GetString(doc, "file_label", "dictionary", &out->file_label) ||
      !r.GetString(doc, "encoding", "dictionary", &out->encoding) ||
      !r.GetString(doc, "text_info", "dictionary", &out->text_info,
                   &out->has_text_info) ||
      !r.Extensions(doc, out) || !r.Attributes(doc, "dictionary", &out->attributes) ||
      !r.MultRespSets(doc, out) || !r.VariableSets(doc, out) || !r.DateVariables(doc, out)) {
    return false;
  }
  const JsonValue* docs = Find(doc, "documents");
  if (docs != nullptr && !docs->is_null()) {
    if (!docs->is_array()) return r.Fail("documents", "expected an array");
    for (const JsonValue& line : *docs) {
      if (!line.is_string()) return r.Fail("documents", "expected strings");
      out->documents.push_back(line.get<std::string>());
    }
  }
  const JsonValue* vars = Find(doc, "variables");
  if (vars == nullptr || !vars->is_array()) {
    return r.Fail("variables", "expected an array");
  }
  for (size_t i = 0; i < vars->size(); ++i) {
    out->variables.emplace_back();
    if (!r.Variable((*vars)[i], i, &out->variables.back())) return false;
  }
  return true;
}

bool ReadDictionaryFile(const std::string& path, FileSummary* out,
                        std::string* error) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) {
      *error = std::strerror(errno);
      return false;
    }
  }
  JsonValue doc;
  try {
    doc = JsonValue::parse(path == "-" ? std::cin : file);
  } catch (const JsonValue::parse_error& e) {
    // "[json.exception.parse_error.101] parse error at line 2, column 5: ..."
    const std::string what = e.what();
    *error = what.substr(what.find(']') + 2);
    return false;
  }
  return DictionaryFromJson(doc, out, error);
}

}  // namespace vexa::tool
