// The multiple-response set lines of the extension records of subtypes 7 and
// 19 carry byte counts of their counted values and labels, so their texts
// are converted field by field and the counts written anew:
//
//   $name=C <n> <label> <variables>
//   $name=D<n> <counted value> <n> <label> <variables>
//   $name=E <flags> <n> <counted value> <n> <label> <variables>
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vexa {

using TextConversion = std::function<std::string(std::string_view)>;

// Converts every line of `text` (lines end with a line feed) with
// `convert`: a set line of the forms above field by field, with its counts
// set to the converted lengths; any other line (variable sets, lines that
// break the grammar) as a whole.
std::string ConvertSetLines(std::string_view text, const TextConversion& convert);

}  // namespace vexa
