// The dictionary of a CSV file that comes without one: names from the header
// row, and per column a type, a format and a measurement level found by
// reading the data.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "field_rules.h"
#include "file_summary.h"
#include "import_notes.h"

namespace vexa::tool {

struct CsvLayout {
  char delimiter = ',';
  bool delimiter_given = false;  // else found from the header line
  FieldRules rules;
  // Columns (header cells, or the variable names made from them) to take
  // as ISO 8601 dates, or as strings, whatever their values.
  std::set<std::string> date_columns;
  std::set<std::string> string_columns;
};

// A dictionary made from the data: per header cell a variable name and the
// format its values call for (type -1: the library's default numeric
// format). A few bytes a column beside its name, so that a wide header costs
// little beside what the library keeps for it.
struct InferredDictionary {
  std::vector<std::string> names;
  std::vector<FormatSpec> formats;
  // Per column the --date-format or --datetime-format pattern its dates
  // follow, -1 for ISO 8601 (or no date).
  std::vector<signed char> patterns;
};

// Reads the CSV file once and gives one variable per header cell. Fields
// that are --na tokens count as empty.
// - numeric, scale, when every non-empty field is a number (under the
//   decimal mark and thousands separator of the rules) that stores as
//   written (no leading zeros, no integer without a double of its own, no
//   NaN), with an F format as wide as the widest number and its decimals;
//   PCT when every one has a '%' after it, DOLLAR when every one has a '$'
//   before it;
// - a date (DATE11) or date-time (DATETIME20, or DATETIME with the
//   decimals of the seconds), scale, when every one is an ISO 8601 date or
//   date-time, or every one follows the same --date-format (or
//   --datetime-format) pattern, the first such in order;
// - else a string, nominal, as wide as its longest field in bytes; unless
//   the column only ever held words, why is said once, with the first field
//   that decided it.
// A header cell that had to be renamed is noted. False, with *error set,
// when the file cannot be read, has no header row, a record has more
// fields than the header, a field is longer than the widest string, a
// --date column holds something else, or (with *error empty: it is said
// already) a note fails under --strict.
bool InferDictionary(const std::string& csv_path, const CsvLayout& layout, ImportNotes& notes,
                     InferredDictionary* dict, std::string* error);

// The whole variable of a name and its inferred format: the type, the
// measurement level and the display width follow from the format.
VariableSummary InferredVariable(const std::string& name, const FormatSpec& format);

}  // namespace vexa::tool
