#include "ext/short_name_sets.h"

#include "dict/names.h"
#include "dict/set_lines.h"

namespace vexa {

ShortNameSets::ShortNameSets(const NamePairs& name_map) {
  by_key_.reserve(name_map.size());
  for (const auto& [name, short_name] : name_map) by_key_.emplace(NameKey(name), &short_name);
}

std::string ShortNameSets::Line(const VariableSet& set) const {
  VariableSet file_set = set;
  file_set.variables.clear();
  for (const std::string& name : set.variables) {
    const auto it = by_key_.find(NameKey(name));
    if (it != by_key_.end()) file_set.variables.push_back(*it->second);
  }
  return file_set.variables.empty() ? std::string() : SetLine(file_set, true);
}

}  // namespace vexa
