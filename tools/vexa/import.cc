// `vexa import DATA.csv OUT [--dict DICT.json] [--compression none|bytecode|zlib]
// [--encoding NAME]`: a system file from a CSV file, read twice (once for
// the dictionary or the column check, once for the cases) so that memory
// stays flat. Texts go into the file in UTF-8, or in the encoding named (by
// the option, else by the dictionary).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "csv_infer.h"
#include "csv_reader.h"
#include "dict_define.h"
#include "dict_json.h"
#include "file_summary.h"
#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

struct ImportOptions {
  std::string csv_path;
  std::string out_path;
  std::string dict_path;
  int compression = -1;  // -1: from the dictionary, else none
  std::string encoding;  // empty: from the dictionary, else UTF-8
};

// Where each variable's values come from.
struct Column {
  size_t field = 0;  // index in a CSV record
  double handle = 0;
  bool numeric = true;
  std::string name;
};

bool ParseArgs(const std::vector<std::string>& args, ImportOptions& o) {
  std::vector<std::string> paths;
  auto take = [&](const std::string& name, const std::string& value) {
    if (name == "--dict") {
      o.dict_path = value;
      return true;
    }
    if (name == "--encoding") {
      o.encoding = value;
      return !value.empty();
    }
    return name == "--compression" &&
           CompressionFromName(value, &o.compression);
  };
  if (!SplitArguments(args, 2, &paths, take)) return false;
  o.csv_path = paths[0];
  o.out_path = paths[1];
  return true;
}

// An import failure that is not a result code of the library.
int Fail(const std::string& path, const std::string& what) {
  std::cerr << "vexa import: " << path << ": " << what << '\n';
  return 1;
}

// The header row's fields, read again for the column check.
bool ReadHeader(const std::string& path, std::vector<std::string>* header,
                std::string* error) {
  CsvReader csv;
  if (!csv.Open(path)) {
    *error = std::strerror(errno);
    return false;
  }
  CsvReader::Result r = csv.Next(header);
  if (r == CsvReader::Result::kRecord) return true;
  *error = r == CsvReader::Result::kEnd ? "no header row" : csv.Error();
  return false;
}

// Finds each variable's column in the header: the cell equal to its name,
// else the one equal without regard to case.
bool MapColumns(const FileSummary& dict, const std::vector<std::string>& header,
                std::vector<Column>* columns, std::string* error) {
  for (const VariableSummary& v : dict.variables) {
    size_t found = header.size();
    for (size_t i = 0; i < header.size() && found == header.size(); ++i) {
      if (TrimBlanks(header[i]) == v.name) found = i;
    }
    for (size_t i = 0; i < header.size() && found == header.size(); ++i) {
      if (NameKey(header[i]) == NameKey(v.name)) found = i;
    }
    if (found == header.size()) {
      *error = "no column for variable '" + v.name + "'";
      return false;
    }
    columns->push_back({found, 0.0, v.type == 0, v.name});
  }
  return true;
}

// Reads the cases and writes them to the committed handle. Returns 0, or an
// exit status after printing the error.
int WriteCases(const ImportOptions& o, const std::string& path, int handle,
               std::vector<Column>& columns) {
  for (Column& c : columns) vexaGetVarHandle(handle, c.name.c_str(), &c.handle);
  CsvReader csv;
  if (!csv.Open(o.csv_path)) return Fail(o.csv_path, std::strerror(errno));
  std::vector<std::string> fields;
  CsvReader::Result r = csv.Next(&fields);  // the header
  size_t header_size = fields.size();
  while (r == CsvReader::Result::kRecord &&
         (r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
    std::string where = "line " + std::to_string(csv.RecordLine());
    if (fields.size() > header_size) {
      return Fail(o.csv_path, where + ": " + std::to_string(fields.size()) +
                                  " fields, the header has " +
                                  std::to_string(header_size));
    }
    for (const Column& c : columns) {
      if (c.field >= fields.size() || fields[c.field].empty()) continue;
      const std::string& text = fields[c.field];
      int code = VEXA_OK;
      const std::string what = where + ", value of " + c.name;
      if (c.numeric) {
        double value = 0;
        if (!ParseNumber(text, &value)) {
          return Fail(o.csv_path, where + ", " + c.name + ": '" + text +
                                      "' is not a number");
        }
        code = vexaSetValueNumeric(handle, c.handle, value);
      } else {
        code = vexaSetValueChar(handle, c.handle, text.c_str());
      }
      if (code != VEXA_OK) return ReportFailure("import", o.csv_path, what, code);
    }
    int code = vexaCommitCaseRecord(handle);
    if (code != VEXA_OK) {
      return ReportFailure("import", path, "writing the case of " + where, code);
    }
  }
  if (r == CsvReader::Result::kError) return Fail(o.csv_path, csv.Error());
  return 0;
}

// Defines, commits and fills the new file at `path`. Returns an exit status.
int WriteFile(const ImportOptions& o, const std::string& path,
              const FileSummary& dict, std::vector<Column>& columns) {
  int handle = -1;
  std::string what = "open";
  int code = vexaOpenWriteU8(path.c_str(), &handle);
  if (code == VEXA_OK) code = DefineDictionary(handle, dict, &what);
  int compression = o.compression >= 0 ? o.compression
                    : dict.compression >= 0 ? dict.compression
                                            : 0;
  if (code == VEXA_OK) {
    what = "setting the compression";
    code = vexaSetCompression(handle, compression);
  }
  if (code == VEXA_OK) {
    what = "header commit";
    code = vexaCommitHeader(handle);
  }
  if (code != VEXA_OK) {
    ReportFailure("import", path, what, code);
    if (handle >= 0) vexaCloseWrite(handle);  // leaves no file
    return 1;
  }
  int status = WriteCases(o, path, handle, columns);
  code = vexaCloseWrite(handle);
  if (status == 0 && code != VEXA_OK) {
    status = ReportFailure("import", path, "close", code);
  }
  if (status != 0) std::remove(path.c_str());
  return status;
}

}  // namespace

int RunImport(const std::vector<std::string>& args) {
  ImportOptions o;
  if (!ParseArgs(args, o)) {
    std::cerr << "usage: vexa import DATA.csv OUT [--dict DICT.json] "
                 "[--compression none|bytecode|zlib] [--encoding NAME]\n";
    return 2;
  }
  std::error_code ec;
  if (std::filesystem::equivalent(o.csv_path, o.out_path, ec)) {
    return Fail(o.out_path, "the output would overwrite the input");
  }
  FileSummary dict;
  std::string error;
  std::vector<Column> columns;
  if (o.dict_path.empty()) {
    if (!InferDictionary(o.csv_path, &dict, &error)) return Fail(o.csv_path, error);
    for (size_t i = 0; i < dict.variables.size(); ++i) {
      const VariableSummary& v = dict.variables[i];
      columns.push_back({i, 0.0, v.type == 0, v.name});
    }
  } else {
    if (!ReadDictionaryFile(o.dict_path, &dict, &error)) {
      return Fail(o.dict_path, error);
    }
    std::vector<std::string> header;
    if (!ReadHeader(o.csv_path, &header, &error) ||
        !MapColumns(dict, header, &columns, &error)) {
      return Fail(o.csv_path, error);
    }
  }
  const std::string encoding = o.encoding.empty() ? dict.encoding : o.encoding;
  if (encoding.empty() || encoding == "UTF-8") return WriteFile(o, o.out_path, dict, columns);
  const std::string utf8 = IntermediatePath(o.out_path);
  const int status = WriteFile(o, utf8, dict, columns);
  if (status != 0) return status;
  return Reencode("import", utf8, o.out_path, encoding);
}

}  // namespace vexa::tool
