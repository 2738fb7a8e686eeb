#include "dict_json.h"

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
      if (!Value(*value, v->type == 0, at + ".value", &l.number, &l.text) ||
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
    if (code < -3 || code > 3 || code == -1 || (v->type != 0 && code < 0)) {
      return Fail(at + ".code", "not a missing-value code of this variable");
    }
    const JsonValue* values = Find(*m, "values");
    if (values == nullptr || !values->is_array() ||
        static_cast<int>(values->size()) != v->missing.Count()) {
      return Fail(at + ".values", "expected as many values as the code says");
    }
    for (int i = 0; i < v->missing.Count(); ++i) {
      if (!Value((*values)[i], v->type == 0, at + ".values",
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
           ValueLabels(var, where, v) && Missing(var, where, v);
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
      !r.Extensions(doc, out)) {
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
