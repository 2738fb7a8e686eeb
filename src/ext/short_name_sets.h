// The plain set records (variable sets, and multiple-response sets of the
// plain form) are built after the long names record has renamed the
// variables: they name each variable by its short name, and leave out names
// of no variable, so that a file written names only variables it holds.
#pragma once

#include <string>
#include <unordered_map>

#include "dict/metadata.h"
#include "layout/write_plan.h"

namespace vexa {

class ShortNameSets {
 public:
  explicit ShortNameSets(const NamePairs& name_map);

  // The set's line with its variables under their short names; empty when
  // none of its variables exists.
  std::string Line(const VariableSet& set) const;

 private:
  std::unordered_map<std::string, const std::string*> by_key_;
};

}  // namespace vexa
