// The dictionary of a CSV file that comes without one: names from the header
// row, and per column a numeric or a string type found by reading the data.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "file_summary.h"

namespace vexa::tool {

// True when `text` is a whole number as std::from_chars reads a double
// (so "nan", "inf", "1e5" and "-0.5" are numbers, " 1" and "+1" are not).
bool ParseNumber(std::string_view text, double* value);

// Reads the CSV file once and fills dict->variables: one variable per header
// cell, numeric when every non-empty field of its column is a number, else a
// string as wide as its longest field in bytes. False, with *error set, when
// the file cannot be read, has no header row, a record has more fields than
// the header, or a field is longer than the widest string.
bool InferDictionary(const std::string& csv_path, FileSummary* dict,
                     std::string* error);

}  // namespace vexa::tool
