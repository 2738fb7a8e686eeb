// WritePlan: how a dictionary is laid out in a system file, decided once at
// the header commit and never changed. The caller's dictionary stays as it
// is; the plan says what the file holds instead: every variable under its
// short name, very long strings as runs of segment variables, and where the
// values of a case lie in memory and in the file. The extension record
// handlers encode the plan, in any order; the dictionary records are
// written from its file dictionary.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dict/dictionary.h"
#include "layout/case_layout.h"

namespace vexa {

using NamePairs = std::vector<std::pair<std::string, std::string>>;

struct VeryLongString {
  int index;               // in the caller's dictionary
  int width;               // above 255
  std::string short_name;  // of its first segment
};

struct WritePlan {
  // (caller's name, short name) per variable of the caller's dictionary, in
  // dictionary order.
  NamePairs name_map;
  // The strings wider than 255, in dictionary order.
  std::vector<VeryLongString> very_long_strings;
  // The variables as the file holds them: short names, segments, and no
  // value labels on strings wider than 8 (an extension record has them).
  Dictionary file;
  CaseLayout case_layout;
};

// The plan of `dictionary`. Raises ErrorText kErrNoShortName when no short name
// can be formed. REQUIRES: names unique without regard to case (the commit
// checks).
WritePlan MakeWritePlan(const Dictionary& dictionary);

}  // namespace vexa
