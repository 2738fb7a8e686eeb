// `vexa import DATA.csv OUT [--dict DICT.json] [options]`: a system file
// from a CSV file, read twice (once for the dictionary or the column check,
// once for the cases) so that memory stays flat; input from a pipe is
// first copied to a file. Every value that does not go in as written is
// noted on stderr (--strict: fails the import). Texts go into the file in
// UTF-8, or in the encoding named (by the option, else by the dictionary).
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "passwords.h"
#include "commands.h"
#include "copy_file.h"
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

struct ImportOptions {
  std::string csv_path;  // as given; for messages
  std::string csv_file;  // what to read: the path, or a copy of standard input
  std::string out_path;
  std::string dict_path;
  int compression = -1;  // -1: from the dictionary, else none
  std::string encoding;  // empty: from the dictionary, else UTF-8
  bool force = false;
  bool strict = false;
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
};

Column ColumnOf(size_t field, size_t position, int type, const FormatSpec& print_format) {
  return {field, static_cast<double>(position + 1), type,
          type == kNumericType ? TimeKindOf(print_format.type) : TimeKind::kNone};
}

// The name of a column's variable in the file being written.
std::string NameOf(int handle, const Column& c) {
  char name[VEXA_NAME_BUFFER] = "";
  int type = 0;
  vexaGetVarInfo(handle, static_cast<int>(c.handle) - 1, name, &type);
  return name;
}

// ISO 8601 text for a variable of this kind: a date or a date-time for
// either of those, a span of hours, minutes and seconds for a time.
bool ParseTime(std::string_view text, TimeKind kind, double* value) {
  bool has_time = false;
  if (kind == TimeKind::kDuration) return ParseIsoDuration(text, value);
  return kind != TimeKind::kNone && ParseIsoDate(text, value, &has_time);
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

// Sets one variable's value from its field. Returns 0, or an exit status
// after saying what went wrong.
int SetValue(const ImportOptions& o, int handle, const Column& c, const std::string& text,
             const CsvReader& csv, ImportNotes& notes) {
  auto where = [&] { return o.csv_path + ":" + std::to_string(csv.RecordLine()) + ":" +
                            std::to_string(c.field + 1); };
  auto name = [&] { return NameOf(handle, c); };
  int code = VEXA_OK;
  if (c.width == kNumericType) {
    double value = 0;
    if (ParseNumber(text, &value)) {
      const char* change = NumberChange(text, value);
      if (change != nullptr &&
          !notes.Note(change, csv.RecordLine(), c.field + 1, name() + ": '" + text + "': " + change)) {
        return 1;
      }
    } else if (!ParseTime(text, c.time, &value)) {
      return Fail(where(), name() + ": '" + text + "' is not a number" +
                               (c.time == TimeKind::kNone       ? ""
                                : c.time == TimeKind::kDuration ? " or an ISO 8601 time"
                                                                : " or an ISO 8601 date"));
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
  std::vector<std::string> fields;
  CsvReader::Result r = csv.Next(&fields);  // the header
  const size_t header_size = fields.size();
  while (r == CsvReader::Result::kRecord &&
         (r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
    if (fields.size() != header_size) {
      const std::string counts = std::to_string(fields.size()) + " fields, the header has " +
                                 std::to_string(header_size);
      if (fields.size() > header_size) {
        return Fail(o.csv_path + ":" + std::to_string(csv.RecordLine()), counts);
      }
      if (!notes.Note("short row", csv.RecordLine(), fields.size() + 1,
                      counts + "; the rest left empty")) {
        return 1;
      }
    }
    for (const Column& c : columns) {
      if (c.field >= fields.size() || fields[c.field].empty()) continue;
      if (int status = SetValue(o, handle, c, fields[c.field], csv, notes); status != 0) {
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
  const int compression = o.compression >= 0 ? o.compression
                          : dict.compression >= 0 ? dict.compression
                                                  : VEXA_COMPRESSION_NONE;
  if (status == 0) status = SetCompression("import", o.out_path, handle, compression);
  if (status == 0 && (code = vexaCommitHeader(handle)) != VEXA_OK) {
    status = ReportFailure("import", o.out_path, "header commit", code);
  }
  if (status == 0) status = WriteCases(o, handle, columns, notes);
  return EndWrite("import", o.out_path, handle, status);
}

int RunImport(ImportOptions o) {
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
      columns.push_back(ColumnOf(i, i, InferredVariable("", f).type, f));
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

// "," or "comma", "\t" or "tab", ";" or "semicolon".
std::string TakeDelimiter(const std::string& name, char* delimiter) {
  if (name == "," || name == "comma") return *delimiter = ',', "";
  if (name == "\t" || name == "tab") return *delimiter = '\t', "";
  if (name == ";" || name == "semicolon") return *delimiter = ';', "";
  return "expected comma, tab or semicolon";
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
  app->add_option("--delimiter", "The field separator: comma (the default), tab or semicolon")
      ->check(CLI::Validator(
          [o](std::string& name) { return TakeDelimiter(name, &o->layout.delimiter); },
          "comma|tab|semicolon"));
  AddCompressionOption(*app, &o->compression);
  AddEncodingOption(*app, &o->encoding);
  AddForceOption(*app, &o->force);
  AddPasswordOption(*app);
  AddProtectOption(*app);
  return {app, [o] { return RunImport(*o); }};
}

}  // namespace vexa::tool
