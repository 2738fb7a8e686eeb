// A small JSON reader: enough for the dictionaries that `vexa info --json`
// prints (objects, arrays, strings with every JSON escape, numbers, true,
// false, null, ordinary whitespace). Strings come out as UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa::tool {

class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  // Defined where JsonValue is complete: the members below hold JsonValues,
  // and some standard libraries need the type complete for their pair.
  JsonValue();
  JsonValue(const JsonValue&);
  JsonValue(JsonValue&&) noexcept;
  JsonValue& operator=(const JsonValue&);
  JsonValue& operator=(JsonValue&&) noexcept;
  ~JsonValue();

  Kind kind = Kind::kNull;
  bool boolean = false;
  double number = 0.0;
  std::string text;
  std::vector<JsonValue> items;  // kArray
  std::vector<std::pair<std::string, JsonValue>> members;  // kObject, in order

  bool IsNull() const { return kind == Kind::kNull; }
  bool IsNumber() const { return kind == Kind::kNumber; }
  bool IsString() const { return kind == Kind::kString; }
  bool IsArray() const { return kind == Kind::kArray; }
  bool IsObject() const { return kind == Kind::kObject; }
  bool IsBool() const { return kind == Kind::kBool; }
  // The member of an object with this key (the last one when repeated), or
  // null when absent or not an object.
  const JsonValue* Find(std::string_view key) const;
};

// Parses a whole document. On failure returns false and sets *error to a
// one-line description with the line number.
bool ParseJson(std::string_view text, JsonValue* out, std::string* error);

}  // namespace vexa::tool
