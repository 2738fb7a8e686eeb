// A small streaming JSON writer: objects, arrays, strings, numbers, booleans.
// Strings are written as UTF-8; bytes that are not valid UTF-8 become U+FFFD.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace vexa::tool {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // Inside an object: the key of the next value.
  void Key(std::string_view key);
  void String(std::string_view value);
  void Int(int64_t value);
  void Number(double value);  // shortest form that reads back exactly
  void Bool(bool value);
  void Null();

 private:
  void BeforeValue();
  void Indent();
  void WriteString(std::string_view s);

  std::ostream& out_;
  // Per open container: number of members written so far.
  std::vector<int> counts_;
  bool after_key_ = false;
};

}  // namespace vexa::tool
