// The one-line text form of variable sets and multiple-response sets, as
// the set records (5, 7, 19) hold them, each line ending with a line feed:
//
//   variable set        name= V1 V2
//   categories          $name=C <n> <label> V1 V2
//   dichotomies         $name=D<n> <counted value> <n> <label> V1 V2
//   extended            $name=E <flags> <n> <counted value> <n> <label> V1 V2
//
// <n> is the byte length of what follows it; a set whose label comes from
// its variables has the label part "0 ".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/metadata.h"

namespace vexa {

// The line of `set` with its line feed; variable names upper-cased when
// `upper`.
std::string SetLine(const VariableSet& set, bool upper);

// One line (without its line feed) parsed, or nothing when it breaks the
// grammar. A line beginning with "$" is a multiple-response set, any other
// a variable set.
std::optional<VariableSet> ParseSetLine(std::string_view line);

// Parses every line of `text` into `sets` (lines that break the grammar
// are skipped): a set whose name is already there is replaced, others are
// appended. With `add_dollar` (the plain multiple-response record) a line
// not beginning with "$" gets one put in front.
void ParseSetLines(std::string_view text, bool add_dollar, std::vector<VariableSet>& sets);

}  // namespace vexa
