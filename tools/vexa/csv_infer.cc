#include "csv_infer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "column_names.h"
#include "csv_delimiter.h"
#include "csv_reader.h"
#include "csv_values.h"
#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr int kFormatF = 5, kFormatA = 1, kFormatDollar = 4, kFormatPct = 31, kFormatDate = 20,
              kFormatDateTime = 22;
constexpr int kNominal = 1, kScale = 3;
constexpr int kWidestF = 40, kMostDecimals = 16;
constexpr int kNarrowestDisplay = 8;  // columns, as the library gives by default
constexpr uint32_t kIsoWay = 1;       // bit 0; bit k + 1 for the k-th pattern

// What a column's fields have been so far.
struct ColumnShape {
  bool any = false;  // a field neither empty nor an --na token
  bool numeric = true;
  bool seen_value = false;  // a number or a date
  uint32_t date_ways = 0;   // the ways of reading a date that every field so far fits
  bool any_time = false;
  Mark mark = Mark::kNone;  // of the first number
  int whole_digits = 1;
  int decimals = 0;
  int time_decimals = 0;
  bool negative = false;
  size_t widest = 1;
};

const char* MarkText(Mark mark) {
  return mark == Mark::kPercent ? "a percent sign" : mark == Mark::kDollar ? "a dollar sign"
                                                                           : "no mark";
}

// Takes a field as a number. Empty when it is one, else why it is not;
// *change: what storing it would change, when that is why.
std::string TakeNumber(std::string_view f, NumberReader& reader, ColumnShape& c,
                       const char** change) {
  double value = 0;
  Mark mark = Mark::kNone;
  if (!reader.Read(f, &value, &mark, change)) return "is not a number";
  if (*change != nullptr) return std::string("would not store as written (") + *change + ")";
  if (c.seen_value && mark != c.mark) {
    return std::string("has ") + MarkText(mark) + ", the numbers before it " + MarkText(c.mark);
  }
  c.mark = mark;
  std::string_view bare = reader.bare();
  if (bare[0] == '-') c.negative = true, bare.remove_prefix(1);
  if (bare.find_first_of("eE") != std::string_view::npos) {
    // Written with an exponent: as wide as the number is.
    c.whole_digits = kWidestF;
    c.decimals = std::max(c.decimals, 2);
    return "";
  }
  const size_t point = bare.find('.');
  c.whole_digits = std::max(c.whole_digits, static_cast<int>(std::min(point, bare.size())));
  if (point != std::string_view::npos) {
    c.decimals = std::max(c.decimals, static_cast<int>(bare.size() - point - 1));
  }
  return "";
}

// The ways of reading a date, among those the column still has, that fit
// the field.
uint32_t DateWays(std::string_view f, const FieldRules& rules, ColumnShape& c) {
  uint32_t ways = 0;
  double value = 0;
  bool has_time = false;
  if ((c.date_ways & kIsoWay) != 0 && ParseIsoDate(f, &value, &has_time)) {
    ways |= kIsoWay;
    c.any_time |= has_time;
    if (f.size() > 20) c.time_decimals = std::max(c.time_decimals, static_cast<int>(f.size() - 20));
  }
  for (size_t k = 0; k < rules.dates.size(); ++k) {
    int decimals = 0;
    if ((c.date_ways & (2u << k)) != 0 && rules.dates[k].Read(f, &value, &decimals)) {
      ways |= 2u << k;
      c.time_decimals = std::max(c.time_decimals, decimals);
    }
  }
  return ways;
}

bool Listed(const std::set<std::string>& columns, const std::string& cell,
            const std::string& name) {
  return columns.count(cell) > 0 || columns.count(name) > 0;
}

// The pattern whose dates the column holds: -1 for ISO 8601, else the
// first pattern that every field fits.
int PatternOf(const ColumnShape& c) {
  if (c.date_ways == 0 || (c.date_ways & kIsoWay) != 0) return -1;
  int k = 0;
  while ((c.date_ways & (2u << k)) == 0) ++k;
  return k;
}

FormatSpec InferFormat(const ColumnShape& c, const FieldRules& rules, bool as_date,
                       bool as_string) {
  if (as_date || (!as_string && c.date_ways != 0 && !c.numeric)) {
    const int pattern = PatternOf(c);
    const bool time = pattern < 0 ? c.any_time : rules.dates[pattern].with_time();
    const int decimals = std::min(c.time_decimals, 6);
    return time ? FormatSpec{kFormatDateTime, decimals > 0 ? 21 + decimals : 20, decimals}
                : FormatSpec{kFormatDate, 11, 0};
  }
  if (!as_string && !c.any) return {};  // numeric in the library's default format
  if (!as_string && c.numeric) {
    const int decimals = std::min(c.decimals, kMostDecimals);
    int width = c.whole_digits + (decimals > 0 ? decimals + 1 : 0) + (c.negative ? 1 : 0);
    if (c.mark == Mark::kPercent) return {kFormatPct, std::clamp(width + 1, 2, kWidestF), decimals};
    if (c.mark == Mark::kDollar) {
      width += 1 + (c.whole_digits - 1) / 3;  // "$" and the thousands separators
      return {kFormatDollar, std::clamp(width, 2, kWidestF), decimals};
    }
    return {kFormatF, std::clamp(width, 1, kWidestF), decimals};
  }
  return {kFormatA, static_cast<int>(c.widest), 0};
}

// Reads the data rows into the shapes. False, with *error set (or empty
// when said already), on the faults InferDictionary names.
bool ReadShapes(const std::string& path, CsvReader& csv, const CsvLayout& layout, const std::vector<std::string>& header,
                const std::vector<std::string>& names, ImportNotes& notes,
                std::vector<ColumnShape>& shapes, std::string* error) {
  const FieldRules& rules = layout.rules;
  NumberReader reader(rules);
  const bool na_first = rules.NaBeforeValues();
  const uint32_t all_ways = kIsoWay | ((2u << rules.dates.size()) - 2);
  for (ColumnShape& c : shapes) c.date_ways = all_ways;
  std::vector<std::string> fields;
  CsvReader::Result r;
  while ((r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
    if (fields.size() > shapes.size()) {
      *error = "line " + std::to_string(csv.RecordLine()) + ": " +
               std::to_string(fields.size()) + " fields, the header has " +
               std::to_string(shapes.size()) +
               DelimiterHint(path, layout.delimiter, csv.RecordLine());
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
      c.widest = std::max(c.widest, f.size());
      if (!c.numeric && c.date_ways == 0) continue;  // a string already
      if (na_first && rules.IsNa(f)) continue;
      const char* change = nullptr;
      const std::string why = c.numeric ? TakeNumber(f, reader, c, &change) : "";
      const uint32_t ways = c.date_ways != 0 ? DateWays(f, rules, c) : 0;
      const bool number = c.numeric && why.empty();
      if (!number && ways == 0 && !na_first && rules.IsNa(f)) continue;
      c.any = true;
      const bool was_date = c.date_ways != 0;
      c.date_ways = ways;
      if (was_date && ways == 0 && Listed(layout.date_columns, header[i], names[i])) {
        *error = "line " + std::to_string(csv.RecordLine()) + ", column " + names[i] + ": '" +
                 f + "' is not an ISO 8601 date" +
                 (rules.dates.empty() ? "" : " nor one of the patterns") + " (--date)";
        return false;
      }
      if (c.numeric && !why.empty()) c.numeric = false;
      if (c.numeric || c.date_ways != 0) {
        c.seen_value = true;
        continue;
      }
      // The field that makes the column a string: said unless the column
      // only ever held words.
      const std::string hint = why == "is not a number" ? NumberHint(f, rules) : "";
      if (Listed(layout.string_columns, header[i], names[i]) ||
          (!c.seen_value && hint.empty() && f.find_first_of("0123456789") == std::string::npos)) {
        continue;
      }
      const std::string what =
          names[i] + ": '" + f + "' " +
          (why.empty() ? "is not a date like the values before it" : why) +
          "; the column is a string" + (hint.empty() ? "" : " (" + hint + ")");
      // An integer without a double of its own may be an amount as well as
      // a code: a warning, which --strict turns into a failure.
      if (change != kDigitsLost) {
        notes.Say(csv.RecordLine(), i + 1, what);
      } else if (!notes.Note(change, csv.RecordLine(), i + 1, what)) {
        error->clear();  // said already
        return false;
      }
    }
  }
  if (r == CsvReader::Result::kError) {
    *error = csv.Error();
    return false;
  }
  return true;
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
  if (!ReadShapes(csv_path, csv, layout, header, names, notes, shapes, error)) return false;
  dict->formats.clear();
  dict->formats.reserve(columns);
  dict->patterns.clear();
  dict->patterns.reserve(columns);
  for (size_t i = 0; i < columns; ++i) {
    const FormatSpec f =
        InferFormat(shapes[i], layout.rules, Listed(layout.date_columns, header[i], names[i]),
                    Listed(layout.string_columns, header[i], names[i]));
    dict->formats.push_back(f);
    dict->patterns.push_back(
        static_cast<signed char>(f.type == kFormatDate || f.type == kFormatDateTime
                                     ? PatternOf(shapes[i]) : -1));
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
