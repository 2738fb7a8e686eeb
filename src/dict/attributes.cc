#include "dict/attributes.h"

#include <algorithm>

#include "dict/names.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && text::ToUpper(a) == text::ToUpper(b);
}

}  // namespace

const Attribute* AttributeSet::Find(std::string_view name) const {
  for (const Attribute& a : list_) {
    if (SameName(a.name, name)) return &a;
  }
  return nullptr;
}

void AttributeSet::Set(std::string_view name, std::vector<std::string> values) {
  for (Attribute& a : list_) {
    if (SameName(a.name, name)) {
      a.values = std::move(values);
      return;
    }
  }
  list_.push_back({std::string(name), std::move(values)});
}

void AttributeSet::SetValue(std::string_view name, size_t k, std::string value) {
  auto it = std::find_if(list_.begin(), list_.end(),
                         [&](const Attribute& a) { return SameName(a.name, name); });
  if (it == list_.end()) {
    list_.push_back({std::string(name), {}});
    it = list_.end() - 1;
  }
  if (it->values.size() < k) it->values.resize(k);
  it->values[k - 1] = std::move(value);
}

void AttributeSet::Remove(std::string_view name) {
  std::erase_if(list_, [&](const Attribute& a) { return SameName(a.name, name); });
}

std::string AttributeText(const AttributeSet& set) {
  size_t size = 0;
  for (const Attribute& a : set.List()) {
    size += a.name.size() + 2;
    for (const std::string& v : a.values) size += v.size() + 3;
  }
  std::string out;
  out.reserve(size);
  for (const Attribute& a : set.List()) {
    if (a.values.empty()) continue;
    out += a.name;
    out += '(';
    for (const std::string& v : a.values) {
      out += '\'';
      for (char c : v) {
        if (c != '\n') out += c;
      }
      out += "'\n";
    }
    out += ')';
  }
  return out;
}

bool ParseAttributeText(std::string_view text, size_t* pos, AttributeSet* out) {
  AttributeSet parsed;
  size_t i = *pos;
  while (i < text.size() && text[i] != '/') {
    const size_t open = text.find('(', i);
    if (open == std::string_view::npos || open == i || open + 1 >= text.size()) {
      return false;
    }
    const std::string_view name = text.substr(i, open - i);
    const NameCheck check = CheckVariableName(name);
    const bool accepted = check == kNameValid || check == kNameSystem;
    std::vector<std::string> values;
    i = open + 1;
    while (i < text.size() && text[i] != ')') {
      const size_t lf = text.find('\n', i);
      if (lf == std::string_view::npos || lf - i < 2 || text[i] != '\'' ||
          text[lf - 1] != '\'' || lf + 1 >= text.size()) {
        return false;
      }
      values.emplace_back(text.substr(i + 1, lf - i - 2));
      i = lf + 1;
    }
    if (i >= text.size()) return false;  // no closing parenthesis
    ++i;
    if (accepted && !values.empty()) parsed.Set(name, std::move(values));
  }
  for (const Attribute& a : parsed.List()) out->Set(a.name, a.values);
  *pos = i;
  return true;
}

}  // namespace vexa
