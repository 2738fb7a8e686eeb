// A file summary as the JSON document that `vexa info --json` prints and
// `vexa import --dict` reads back (members in a fixed order; see the README
// for each member).
#pragma once

#include <nlohmann/json.hpp>

#include "file_summary.h"

namespace vexa::tool {

nlohmann::ordered_json SummaryJson(const FileSummary& s);

}  // namespace vexa::tool
