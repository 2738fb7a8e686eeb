#include "csv_infer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "column_names.h"
#include "csv_reader.h"
#include "vexaio.h"

namespace vexa::tool {

bool ParseNumber(std::string_view text, double* value) {
  const char* end = text.data() + text.size();
  auto res = std::from_chars(text.data(), end, *value);
  return !text.empty() && res.ec == std::errc() && res.ptr == end;
}

bool InferDictionary(const std::string& csv_path, FileSummary* dict,
                     std::string* error) {
  CsvReader csv;
  if (!csv.Open(csv_path)) {
    *error = std::strerror(errno);
    return false;
  }
  std::vector<std::string> fields;
  CsvReader::Result r = csv.Next(&fields);
  if (r != CsvReader::Result::kRecord) {
    *error = r == CsvReader::Result::kEnd ? "no header row" : csv.Error();
    return false;
  }
  std::vector<std::string> names = MakeVariableNames(fields);
  size_t columns = names.size();
  std::vector<bool> numeric(columns, true);
  std::vector<size_t> widest(columns, 1);
  double ignored = 0;
  while ((r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
    if (fields.size() > columns) {
      *error = "line " + std::to_string(csv.RecordLine()) + ": " +
               std::to_string(fields.size()) + " fields, the header has " +
               std::to_string(columns);
      return false;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string& f = fields[i];
      if (f.size() > VEXA_MAX_STRING_WIDTH) {
        *error = "line " + std::to_string(csv.RecordLine()) + ", column " +
                 names[i] + ": field longer than " +
                 std::to_string(VEXA_MAX_STRING_WIDTH) + " bytes";
        return false;
      }
      widest[i] = std::max(widest[i], f.size());
      if (numeric[i] && !f.empty() && !ParseNumber(f, &ignored)) {
        numeric[i] = false;
      }
    }
  }
  if (r == CsvReader::Result::kError) {
    *error = csv.Error();
    return false;
  }
  for (size_t i = 0; i < columns; ++i) {
    VariableSummary v;
    v.name = names[i];
    v.type = numeric[i] ? 0 : static_cast<int>(widest[i]);
    v.measure = v.alignment = v.display_width = v.role = -1;
    dict->variables.push_back(std::move(v));
  }
  return true;
}

}  // namespace vexa::tool
