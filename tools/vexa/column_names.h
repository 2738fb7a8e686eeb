// Variable names for the columns of a CSV file, made from its header row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexa::tool {

// A valid name for one header cell (UTF-8): blanks around it removed, every
// disallowed character replaced by "_", "v" put in front of a leading digit,
// "_", ".", "#" or "$", cut to 64 bytes on a whole character, "_" appended to
// a reserved word. An empty cell gives "v<column>" (column counted from 1).
std::string MakeVariableName(std::string_view cell, int column);

// Names for a whole header row: each made as above, then made unique without
// regard to case by a suffix "_2", "_3", ... on the later ones.
std::vector<std::string> MakeVariableNames(
    const std::vector<std::string>& header);

}  // namespace vexa::tool
