// `vexa import DATA.csv OUT [--dict DICT.json] [options]`: a system file
// from a CSV file, read twice (once for the dictionary or the column check,
// once for the cases) so that memory stays flat; input from a pipe is
// first copied to a file. Every value that does not go in as written is
// noted on stderr (--strict: fails the import). Texts go into the file in
// UTF-8, or in the encoding named (by the option, else by the dictionary).
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "passwords.h"
#include "commands.h"
#include "copy_file.h"
#include "csv_delimiter.h"
#include "csv_infer.h"
#include "csv_reader.h"
#include "csv_values.h"
#include "dict_define.h"
#include "dict_json.h"
#include "file_paths.h"
#include "file_summary.h"
#include "import_notes.h"
#include "text_util.h"
#include "value_text.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr size_t kMostPatterns = 31;  // a column keeps one bit per pattern and one for ISO 8601

struct ImportOptions {
  std::string csv_path;  // as given; for messages
  std::string csv_file;  // what to read: the path, or a copy of standard input
  std::string out_path;
  std::string dict_path;
  int compression = -1;  // -1: from the dictionary, else byte-code
  std::string encoding;  // empty: from the dictionary, else UTF-8
  bool force = false;
  bool strict = false;
  bool na_first = false;  // an --na token would also read as a value
  CsvLayout layout;
};

// Where each variable's values come from and what they must be. A few
// bytes a column: the name is asked of the library when a message needs it.
struct Column {
  size_t field = 0;  // index in a CSV record
  double handle = 0;  // the variable's position in the dictionary plus one
  int width = kNumericType;  // kNumericType, else the string width
  // Numeric with a date, date-time or time format: takes ISO 8601 text too.
  TimeKind time = TimeKind::kNone;
  // The --date-format or --datetime-format pattern of its dates; -1: ISO
  // 8601, else the first pattern that fits.
  signed char pattern = -1;
  // Numeric with a PCT or DOLLAR format: its numbers may come with that mark.
  Mark mark = Mark::kNone;
};

Column ColumnOf(size_t field, size_t position, int type, const FormatSpec& print_format,
                signed char pattern = -1) {
  constexpr int kFormatDollar = 4, kFormatPct = 31;
  const bool numeric = type == kNumericType;
  return {field, static_cast<double>(position + 1), type,
          numeric ? TimeKindOf(print_format.type) : TimeKind::kNone, pattern,
          !numeric                               ? Mark::kNone
          : print_format.type == kFormatPct    ? Mark::kPercent
          : print_format.type == kFormatDollar ? Mark::kDollar
                                               : Mark::kNone};
}

// The name of a column's variable in the file being written.
std::string NameOf(int handle, const Column& c) {
  char name[VEXA_NAME_BUFFER] = "";
  int type = 0;
  vexaGetVarInfo(handle, static_cast<int>(c.handle) - 1, name, &type);
  return name;
}

// ISO 8601 text for a variable of this kind: a date or a date-time for
// either of those (or text in the column's pattern, or in any pattern given
// when the column has none), a span of hours, minutes and seconds for a time.
bool ParseTime(std::string_view text, const Column& c, const FieldRules& rules, double* value) {
  bool has_time = false;
  int decimals = 0;
  if (c.time == TimeKind::kDuration) return ParseIsoDuration(text, value);
  if (c.time == TimeKind::kNone) return false;
  if (c.pattern >= 0) return rules.dates[c.pattern].Read(text, value, &decimals);
  return ParseIsoDate(text, value, &has_time) ||
         std::any_of(rules.dates.begin(), rules.dates.end(),
                     [&](const DatePattern& p) { return p.Read(text, value, &decimals); });
}

// An import failure that is not a result code of the library.
int Fail(const std::string& path, const std::string& what) {
  return tool::Fail("import", path, what);
}

// The header row's fields, read again for the column check.
bool ReadHeader(const ImportOptions& o, std::vector<std::string>* header, std::string* error) {
  CsvReader csv;
  if (!csv.Open(o.csv_file, o.layout.delimiter)) {
    *error = std::strerror(errno);
    return false;
  }
  CsvReader::Result r = csv.Next(header);
  if (r == CsvReader::Result::kRecord) return true;
  *error = r == CsvReader::Result::kEnd ? "no header row" : csv.Error();
  return false;
}

// Finds each variable's column in the header: the first cell equal to its
// name, else the first one equal without regard to case. Columns no
// variable takes are noted as left out. Looked up, so that a wide header
// costs no more than its width.
bool MapColumns(const FileSummary& dict, const std::vector<std::string>& header,
                ImportNotes& notes, std::vector<Column>* columns, std::string* error) {
  std::vector<bool> used(header.size(), false);
  std::unordered_map<std::string_view, size_t> exact;
  std::unordered_map<std::string, size_t> by_key;
  for (size_t i = 0; i < header.size(); ++i) {
    exact.try_emplace(TrimBlanks(header[i]), i);
    by_key.try_emplace(NameKey(header[i]), i);
  }
  columns->reserve(columns->size() + dict.variables.size());
  for (size_t position = 0; position < dict.variables.size(); ++position) {
    const VariableSummary& v = dict.variables[position];
    size_t found = header.size();
    if (auto it = exact.find(v.name); it != exact.end()) {
      found = it->second;
    } else if (auto key = by_key.find(NameKey(v.name)); key != by_key.end()) {
      found = key->second;
    }
    if (found == header.size()) {
      *error = "no column for variable '" + v.name + "'";
      return false;
    }
    used[found] = true;
    columns->push_back(ColumnOf(found, position, v.type, v.print_format));
  }
  for (size_t i = 0; i < header.size(); ++i) {
    if (!used[i] && !notes.Note("column left out", 1, i + 1,
                                "column '" + header[i] + "' is not in the dictionary; left out")) {
      error->clear();  // said already
      return false;
    }
  }
  return true;
}

// Sets one variable's value from its field; an --na token leaves it
// missing. Returns 0, or an exit status after saying what went wrong.
int SetValue(const ImportOptions& o, int handle, const Column& c, const std::string& text,
             const CsvReader& csv, NumberReader& reader, ImportNotes& notes) {
  auto where = [&] { return o.csv_path + ":" + std::to_string(csv.RecordLine()) + ":" +
                            std::to_string(c.field + 1); };
  auto name = [&] { return NameOf(handle, c); };
  int code = VEXA_OK;
  const FieldRules& rules = o.layout.rules;
  if (c.width == kNumericType) {
    if (o.na_first && rules.IsNa(text)) return 0;
    double value = 0;
    Mark mark = Mark::kNone;
    const char* change = nullptr;
    // A column whose dates follow a pattern reads them before numbers:
    // "20240301" is a date under %Y%m%d.
    if (c.pattern >= 0 && ParseTime(text, c, rules, &value)) {
    } else if (reader.Read(text, &value, &mark, &change) &&
               (mark == Mark::kNone || mark == c.mark)) {
      if (change != nullptr &&
          !notes.Note(change, csv.RecordLine(), c.field + 1, name() + ": '" + text + "': " + change)) {
        return 1;
      }
    } else if (!ParseTime(text, c, rules, &value)) {
      if (rules.IsNa(text)) return 0;
      return Fail(where(), name() + ": '" + text + "' is not a number" +
                               (c.mark == Mark::kPercent  ? " with a '%'"
                                : c.mark == Mark::kDollar ? " with a '$'"
                                : c.time == TimeKind::kNone       ? ""
                                : c.time == TimeKind::kDuration ? " or an ISO 8601 time"
                                                                : " or a date"));
    }
    code = vexaSetValueNumeric(handle, c.handle, value);
  } else if (text.size() > static_cast<size_t>(c.width)) {
    if (!notes.Note("value cut", csv.RecordLine(), c.field + 1,
                    name() + ": value cut to the variable's " + std::to_string(c.width) +
                        " bytes")) {
      return 1;
    }
    code = vexaSetValueChar(handle, c.handle,
                            std::string(WholeUtf8Prefix(text, static_cast<size_t>(c.width))).c_str());
  } else {
    code = vexaSetValueChar(handle, c.handle, text.c_str());
  }
  return code == VEXA_OK ? 0 : ReportFailure("import", where(), "setting " + name(), code);
}

// Reads the cases and writes them to the committed handle. Returns 0, or an
// exit status after printing the error.
int WriteCases(const ImportOptions& o, int handle, const std::vector<Column>& columns,
               ImportNotes& notes) {
  CsvReader csv;
  if (!csv.Open(o.csv_file, o.layout.delimiter)) return Fail(o.csv_path, std::strerror(errno));
  NumberReader reader(o.layout.rules);
  std::vector<std::string> fields;
  CsvReader::Result r = csv.Next(&fields);  // the header
  const size_t header_size = fields.size();
  bool short_rows = false;
  while (r == CsvReader::Result::kRecord &&
         (r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
    if (fields.size() != header_size) {
      const std::string counts = std::to_string(fields.size()) + " fields, the header has " +
                                 std::to_string(header_size);
      if (fields.size() > header_size) {
        return Fail(o.csv_path + ":" + std::to_string(csv.RecordLine()),
                    counts + DelimiterHint(o.csv_file, o.layout.delimiter, csv.RecordLine()));
      }
      // The first short row says which separator would fit, if another would.
      const bool first = !short_rows;
      short_rows = true;
      if (!notes.Note("short row", csv.RecordLine(), fields.size() + 1,
                      counts + "; the rest left empty" +
                          (first ? DelimiterHint(o.csv_file, o.layout.delimiter, csv.RecordLine())
                                 : ""))) {
        return 1;
      }
    }
    for (const Column& c : columns) {
      if (c.field >= fields.size() || fields[c.field].empty()) continue;
      if (int status = SetValue(o, handle, c, fields[c.field], csv, reader, notes);
          status != 0) {
        return status;
      }
    }
    int code = vexaCommitCaseRecord(handle);
    if (code != VEXA_OK) {
      return ReportFailure("import", o.out_path,
                           "writing the case of line " + std::to_string(csv.RecordLine()), code);
    }
  }
  if (r == CsvReader::Result::kError) return Fail(o.csv_path, csv.Error());
  return 0;
}

// Defines the inferred variables, then those of the dictionary and the rest
// of it.
int Define(int handle, const InferredDictionary& inferred, const FileSummary& dict,
           std::string* what, std::vector<std::string>* cut) {
  for (size_t i = 0; i < inferred.names.size(); ++i) {
    int code = DefineVariable(handle, InferredVariable(inferred.names[i], inferred.formats[i]),
                              what, cut);
    if (code != VEXA_OK) return code;
  }
  return DefineDictionary(handle, dict, what, cut);
}

// Defines, commits and fills the new file at `path`. Returns an exit status.
// The variables are let go once the library has them, so that the header is
// written with only the columns held here.
int WriteFile(const ImportOptions& o, const std::string& path, InferredDictionary& inferred,
              FileSummary& dict, const std::vector<Column>& columns, ImportNotes& notes) {
  int handle = -1;
  std::string what = "open";
  std::vector<std::string> cut;
  int code = OpenWrite(path, &handle);
  if (code == VEXA_OK) code = Define(handle, inferred, dict, &what, &cut);
  inferred = {};
  dict.variables = {};
  if (code != VEXA_OK) {
    ReportFailure("import", o.out_path, what, code);
    if (handle >= 0) vexaAbandonFile(handle);
    return 1;
  }
  ImportNotes dict_notes(o.dict_path.empty() ? o.out_path : o.dict_path, o.strict);
  int status = 0;
  for (const std::string& text : cut) {
    if (status == 0 && !dict_notes.Note("text cut", 0, 0, text)) status = 1;
  }
  const int compression = o.compression >= 0                          ? o.compression
                          : !o.dict_path.empty() && dict.compression >= 0 ? dict.compression
                                                                          : VEXA_COMPRESSION_BYTECODE;
  if (status == 0) status = SetCompression("import", o.out_path, handle, compression);
  if (status == 0 && (code = vexaCommitHeader(handle)) != VEXA_OK) {
    status = ReportFailure("import", o.out_path, "header commit", code);
  }
  if (status == 0) status = WriteCases(o, handle, columns, notes);
  return EndWrite("import", o.out_path, handle, status);
}

int RunImport(ImportOptions o) {
  if (o.layout.rules.thousands == o.layout.rules.decimal) {
    std::cerr << "vexa import: --thousands: the same as the decimal mark (see vexa import --help)\n";
    return 2;
  }
  if (o.csv_path == "-" && o.dict_path == "-") {
    return Fail(o.dict_path, "the data and the dictionary cannot both come from standard input");
  }
  InputFile in;
  std::string error;
  if (!in.Open(o.csv_path, &error)) return Fail(in.name(), error);
  o.csv_file = in.path();
  o.csv_path = in.name();
  const std::string refusal = OutputRefusal(o.out_path, ".vexa", o.force);
  if (!refusal.empty()) return Fail(o.out_path, refusal);
  std::error_code ec;
  if (std::filesystem::equivalent(o.csv_file, o.out_path, ec)) {
    return Fail(o.out_path, "the output would overwrite the input");
  }
  if (!o.layout.delimiter_given && !DetectDelimiter(o.csv_file, &o.layout.delimiter)) {
    return Fail(o.csv_path, std::strerror(errno));
  }
  o.na_first = o.layout.rules.NaBeforeValues();
  ImportNotes notes(o.csv_path, o.strict);
  FileSummary dict;
  InferredDictionary inferred;
  std::vector<Column> columns;
  if (o.dict_path.empty()) {
    if (!InferDictionary(o.csv_file, o.layout, notes, &inferred, &error)) {
      return error.empty() ? 1 : Fail(o.csv_path, error);
    }
    columns.reserve(inferred.formats.size());
    for (size_t i = 0; i < inferred.formats.size(); ++i) {
      const FormatSpec& f = inferred.formats[i];
      columns.push_back(ColumnOf(i, i, InferredVariable("", f).type, f, inferred.patterns[i]));
    }
  } else {
    if (!ReadDictionaryFile(o.dict_path, &dict, &error)) {
      return Fail(o.dict_path == "-" ? "standard input" : o.dict_path, error);
    }
    std::vector<std::string> header;
    if (!ReadHeader(o, &header, &error) || !MapColumns(dict, header, notes, &columns, &error)) {
      return error.empty() ? 1 : Fail(o.csv_path, error);
    }
  }
  const std::string encoding = o.encoding.empty() ? dict.encoding : o.encoding;
  const int status = WriteNewFile(
      "import", o.out_path, encoding,
      [&](const std::string& path) {
        return WriteFile(o, path, inferred, dict, columns, notes);
      },
      in.OwnerOnlyMode());
  notes.Finish();
  return status;
}

// A separator by its character or its name; empty when valid, else why not.
std::string TakeSeparator(const std::string& name,
                          std::initializer_list<std::pair<const char*, char>> allowed,
                          char* out) {
  std::string names;
  for (auto [word, c] : allowed) {
    if (name == word || name == std::string(1, c)) return *out = c, "";
    names += names.empty() ? word : std::string("|") + word;
  }
  return "expected " + names;
}

// Adds the options of how fields are read as values.
void AddFieldOptions(CLI::App& app, const std::shared_ptr<ImportOptions>& o) {
  app.add_option("--delimiter",
                 "The field separator: comma, semicolon, tab or pipe (by default the one "
                 "the header line holds most of)")
      ->type_name("comma|semicolon|tab|pipe")
      ->check(CLI::Validator(
          [o](std::string& name) {
            o->layout.delimiter_given = true;
            return TakeSeparator(name, {{"comma", ','}, {"semicolon", ';'}, {"tab", '\t'},
                                        {"pipe", '|'}}, &o->layout.delimiter);
          },
          ""));
  app.add_option_function<std::string>(
         "--na", [o](const std::string& list) { o->layout.rules.SetNaTokens(list); },
         std::string("Fields that stand for a missing value (comma-separated; \"\" for none; "
                     "by default ") + kDefaultNaTokens + ")")
      ->type_name("TOKENS");
  app.add_option("--decimal", "The decimal mark of the numbers: point (the default) or comma")
      ->type_name("point|comma")
      ->check(CLI::Validator(
          [o](std::string& name) {
            return TakeSeparator(name, {{"point", '.'}, {"comma", ','}}, &o->layout.rules.decimal);
          },
          ""));
  app.add_option("--thousands",
                 "The thousands separator of the numbers (by default none): comma, point, "
                 "space or apostrophe, or the character itself")
      ->type_name("SEPARATOR")
      ->check(CLI::Validator(
          [o](std::string& name) {
            return TakeSeparator(name, {{"comma", ','}, {"point", '.'}, {"space", ' '},
                                        {"apostrophe", '\''}}, &o->layout.rules.thousands);
          },
          ""));
  for (bool with_time : {false, true}) {
    const std::string help =
        with_time ? "A layout of date-times, such as '%d.%m.%Y %H:%M' (repeatable)"
                  : "A layout of dates, such as '%m/%d/%Y' or '%d.%m.%Y' "
                    "(repeatable; %Y %y %m %d %b %H %M %S %F %T)";
    app.add_option(with_time ? "--datetime-format" : "--date-format", help)
        ->type_name("PATTERN")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::Validator(
            [o, with_time](std::string& text) {
              DatePattern p;
              std::string why = p.Parse(text, with_time);
              if (!why.empty()) return why;
              if (o->layout.rules.dates.size() >= kMostPatterns) return std::string("too many patterns");
              o->layout.rules.dates.push_back(std::move(p));
              return std::string();
            },
            ""));
  }
}

}  // namespace

Command AddImportCommand(CLI::App& vexa) {
  auto o = std::make_shared<ImportOptions>();
  CLI::App* app = vexa.add_subcommand(
      "import", "A system file from CSV, its dictionary from --dict or inferred from the data");
  app->add_option("DATA", o->csv_path, "The CSV file (\"-\": standard input)")->required();
  app->add_option("OUT", o->out_path, "The system file to write")->required();
  app->add_option("--dict", o->dict_path,
                  "The dictionary, as info --json prints it (\"-\": standard input)")
      ->type_name("DICT.json");
  app->add_flag("--strict", o->strict,
                "Fail instead of warning when a value or name would not go in as written");
  for (auto [name, columns, help] :
       {std::tuple{"--date", &o->layout.date_columns, "Columns to read as ISO 8601 dates"},
        std::tuple{"--string", &o->layout.string_columns, "Columns to keep as strings"}}) {
    app->add_option_function<std::vector<std::string>>(
           name,
           [target = columns](const std::vector<std::string>& cols) {
             target->insert(cols.begin(), cols.end());
           },
           std::string(help) + " (header names, comma-separated; without --dict)")
        ->delimiter(',')
        ->type_name("COLS");
  }
  AddFieldOptions(*app, o);
  AddCompressionOption(*app, &o->compression,
                       "Compression of the new file (by default the dictionary's, else bytecode)");
  AddEncodingOption(*app, &o->encoding);
  AddForceOption(*app, &o->force);
  AddPasswordOption(*app);
  AddProtectOption(*app);
  return {app, [o] { return RunImport(*o); }};
}

}  // namespace vexa::tool
