#include "csv_infer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "column_names.h"
#include "csv_reader.h"
#include "csv_values.h"
#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr int kFormatF = 5, kFormatA = 1, kFormatDate = 20, kFormatDateTime = 22;
constexpr int kNominal = 1, kScale = 3;
constexpr int kWidestF = 40, kMostDecimals = 16;
constexpr int kNarrowestDisplay = 8;  // columns, as the library gives by default

// What a column's fields have been so far.
struct ColumnShape {
  bool any = false;  // a non-empty field
  bool numeric = true;
  bool date = true;
  bool any_time = false;
  int whole_digits = 1;
  int decimals = 0;
  int time_decimals = 0;
  bool negative = false;
  size_t widest = 1;
};

void TakeNumber(std::string_view f, ColumnShape& c) {
  double value = 0;
  if (!ParseNumber(f, &value) || NumberChange(f, value) != nullptr) {
    c.numeric = false;
    return;
  }
  if (f[0] == '-') c.negative = true, f.remove_prefix(1);
  if (f.find_first_of("eE") != std::string_view::npos) {
    // Written with an exponent: as wide as the number is.
    c.whole_digits = kWidestF;
    c.decimals = std::max(c.decimals, 2);
    return;
  }
  const size_t point = f.find('.');
  c.whole_digits = std::max(c.whole_digits, static_cast<int>(std::min(point, f.size())));
  if (point != std::string_view::npos) {
    c.decimals = std::max(c.decimals, static_cast<int>(f.size() - point - 1));
  }
}

void TakeDate(std::string_view f, ColumnShape& c) {
  double value = 0;
  bool has_time = false;
  if (!ParseIsoDate(f, &value, &has_time)) {
    c.date = false;
    return;
  }
  c.any_time |= has_time;
  if (f.size() > 20) c.time_decimals = std::max(c.time_decimals, static_cast<int>(f.size() - 20));
}

bool Listed(const std::set<std::string>& columns, const std::string& cell,
            const std::string& name) {
  return columns.count(cell) > 0 || columns.count(name) > 0;
}

FormatSpec InferFormat(const ColumnShape& c, bool as_date, bool as_string) {
  if (as_date || (!as_string && c.date && !c.numeric)) {
    const int decimals = std::min(c.time_decimals, 6);
    return c.any_time ? FormatSpec{kFormatDateTime, decimals > 0 ? 21 + decimals : 20, decimals}
                      : FormatSpec{kFormatDate, 11, 0};
  }
  if (!as_string && !c.any) return {};  // numeric in the library's default format
  if (!as_string && c.numeric) {
    const int decimals = std::min(c.decimals, kMostDecimals);
    const int width = c.whole_digits + (decimals > 0 ? decimals + 1 : 0) + (c.negative ? 1 : 0);
    return {kFormatF, std::clamp(width, 1, kWidestF), decimals};
  }
  return {kFormatA, static_cast<int>(c.widest), 0};
}

}  // namespace

bool InferDictionary(const std::string& csv_path, const CsvLayout& layout, ImportNotes& notes,
                     InferredDictionary* dict, std::string* error) {
  CsvReader csv;
  if (!csv.Open(csv_path, layout.delimiter)) {
    *error = std::strerror(errno);
    return false;
  }
  std::vector<std::string> header;
  CsvReader::Result r = csv.Next(&header);
  if (r != CsvReader::Result::kRecord) {
    *error = r == CsvReader::Result::kEnd ? "no header row" : csv.Error();
    return false;
  }
  std::vector<std::string> names = MakeVariableNames(header);
  const size_t columns = names.size();
  for (size_t i = 0; i < columns; ++i) {
    if (TrimBlanks(header[i]) != names[i] &&
        !notes.Note("header renamed", csv.RecordLine(), i + 1,
                    "header '" + header[i] + "' renamed " + names[i])) {
      error->clear();  // said already
      return false;
    }
  }
  std::vector<ColumnShape> shapes(columns);
  std::vector<std::string> fields;
  while ((r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
    if (fields.size() > columns) {
      *error = "line " + std::to_string(csv.RecordLine()) + ": " +
               std::to_string(fields.size()) + " fields, the header has " +
               std::to_string(columns);
      return false;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string& f = fields[i];
      if (f.empty()) continue;
      ColumnShape& c = shapes[i];
      if (f.size() > VEXA_MAX_STRING_WIDTH) {
        *error = "line " + std::to_string(csv.RecordLine()) + ", column " + names[i] +
                 ": field longer than " + std::to_string(VEXA_MAX_STRING_WIDTH) + " bytes";
        return false;
      }
      c.any = true;
      c.widest = std::max(c.widest, f.size());
      if (c.numeric) TakeNumber(f, c);
      if (c.date) TakeDate(f, c);
      if (!c.date && Listed(layout.date_columns, header[i], names[i])) {
        *error = "line " + std::to_string(csv.RecordLine()) + ", column " + names[i] + ": '" +
                 f + "' is not an ISO 8601 date (--date)";
        return false;
      }
    }
  }
  if (r == CsvReader::Result::kError) {
    *error = csv.Error();
    return false;
  }
  dict->formats.clear();
  dict->formats.reserve(columns);
  for (size_t i = 0; i < columns; ++i) {
    dict->formats.push_back(InferFormat(shapes[i], Listed(layout.date_columns, header[i], names[i]),
                                        Listed(layout.string_columns, header[i], names[i])));
  }
  dict->names = std::move(names);
  return true;
}

VariableSummary InferredVariable(const std::string& name, const FormatSpec& format) {
  VariableSummary v;
  v.name = name;
  v.alignment = v.display_width = v.role = -1;
  if (format.type < 0) return v;
  v.print_format = v.write_format = format;
  if (format.type == kFormatA) {
    v.type = format.width;
    v.measure = kNominal;
  } else {
    v.measure = kScale;
  }
  v.display_width = std::clamp(format.width, kNarrowestDisplay, kWidestF);
  return v;
}

}  // namespace vexa::tool
