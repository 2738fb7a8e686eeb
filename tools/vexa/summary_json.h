// A file summary as the JSON document that `vexa info --json` prints and
// `vexa import --dict` reads back (members in a fixed order; see the README
// for each member).
#pragma once

#include <nlohmann/json.hpp>

#include "file_summary.h"

namespace vexa::tool {

nlohmann::ordered_json SummaryJson(const FileSummary& s);

// A number for JSON: whole numbers as integers ("2", not "2.0") while a
// double holds them exactly, any other in the shortest form that reads
// back the same.
nlohmann::ordered_json JsonNumber(double value);

}  // namespace vexa::tool
