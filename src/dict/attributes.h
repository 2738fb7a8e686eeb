// Attribute sets: the ordered, named, multi-valued attributes that the data
// file and each variable carry, and their text form in the attribute
// records (17 and 18):
//
//   name(
//   'value'
//   'value'
//   )name(...)...
//
// one quoted value per line; line feeds inside a value are left out.
// Names are unique without regard to letter case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

struct Attribute {
  std::string name;
  std::vector<std::string> values;
};

class AttributeSet {
 public:
  bool Empty() const { return list_.empty(); }
  const std::vector<Attribute>& List() const { return list_; }

  // The attribute of that name (any letter case), or null.
  const Attribute* Find(std::string_view name) const;
  // Replaces the values of the attribute of that name in place, or appends
  // a new attribute.
  void Set(std::string_view name, std::vector<std::string> values);
  // Sets value `k` (1-based) of the attribute, adding empty values before
  // it as needed (and the attribute itself when absent).
  void SetValue(std::string_view name, size_t k, std::string value);
  void Remove(std::string_view name);

  bool operator==(const AttributeSet&) const = default;

 private:
  std::vector<Attribute> list_;
};

// The text form of `set`; attributes without values are left out.
std::string AttributeText(const AttributeSet& set);

// Parses attributes from `text` starting at `*pos` until its end or a "/".
// On success adds them to `out` and leaves `*pos` where parsing stopped; on
// failure returns false and changes nothing. Names that are not valid
// variable names (nor names beginning with "$") are parsed and dropped.
bool ParseAttributeText(std::string_view text, size_t* pos, AttributeSet* out);

}  // namespace vexa
