// `vexa cat [--labels] [--range FIRST:LAST] [--vars a,b,c] FILE`: the cases
// of a system file as CSV, streamed case by case.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "csv_writer.h"
#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr int kUtf8CodePage = 65001;

struct Column {
  std::string name;
  double handle = 0;
  int width = 0;  // 0 numeric
  // Value labels, looked up when --labels is given: numeric keys by value,
  // string keys by the value with trailing blanks removed.
  std::map<double, std::string> number_labels;
  std::map<std::string, std::string, std::less<>> text_labels;
};

struct CatOptions {
  bool labels = false;
  long first = 1;   // 1-based, inclusive
  long last = -1;   // -1: to the end
  std::vector<std::string> vars;
  std::string path;
};

void LoadLabels(int handle, Column& c) {
  int n = 0;
  char** labels = nullptr;
  if (c.width == 0) {
    double* values = nullptr;
    if (vexaGetVarNValueLabels(handle, c.name.c_str(), &values, &labels, &n) !=
        VEXA_OK) {
      return;
    }
    for (int i = 0; i < n; ++i) c.number_labels.emplace(values[i], labels[i]);
    vexaFreeVarNValueLabels(values, labels, n);
  } else {
    char** values = nullptr;
    if (vexaGetVarCValueLabels(handle, c.name.c_str(), &values, &labels, &n) !=
        VEXA_OK) {
      return;
    }
    for (int i = 0; i < n; ++i) {
      c.text_labels.emplace(std::string(TrimTrailingBlanks(values[i])),
                            labels[i]);
    }
    vexaFreeVarCValueLabels(values, labels, n);
  }
}

bool ParseRange(const std::string& text, CatOptions& o) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  char* end = nullptr;
  std::string a = text.substr(0, colon), b = text.substr(colon + 1);
  if (!a.empty()) {
    o.first = std::strtol(a.c_str(), &end, 10);
    if (*end != '\0' || o.first < 1) return false;
  }
  if (!b.empty()) {
    o.last = std::strtol(b.c_str(), &end, 10);
    if (*end != '\0' || o.last < o.first) return false;
  }
  return true;
}

bool ParseArgs(const std::vector<std::string>& args, CatOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--labels") {
      o.labels = true;
    } else if (a == "--range" && i + 1 < args.size()) {
      if (!ParseRange(args[++i], o)) return false;
    } else if (a == "--vars" && i + 1 < args.size()) {
      std::string list = args[++i];
      for (size_t at = 0; at <= list.size();) {
        size_t comma = list.find(',', at);
        if (comma == std::string::npos) comma = list.size();
        if (comma > at) o.vars.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
    } else if (o.path.empty() && !a.empty() && a[0] != '-') {
      o.path = a;
    } else {
      return false;
    }
  }
  return !o.path.empty();
}

// The columns to print, in the order asked for (all variables by default).
// Returns 0, or the exit status after reporting a failure.
int SelectColumns(int handle, const CatOptions& o, std::vector<Column>* out) {
  std::vector<std::string> names = o.vars;
  if (names.empty()) {
    int n = 0;
    char** all = nullptr;
    int* types = nullptr;
    int code = vexaGetVarNames(handle, &n, &all, &types);
    if (code != VEXA_OK) {
      return ReportFailure("cat", o.path, "listing the variables", code);
    }
    names.assign(all, all + n);
    vexaFreeVarNames(all, types, n);
  }
  for (const std::string& name : names) {
    Column c;
    int code = vexaGetVarHandle(handle, name.c_str(), &c.handle);
    if (code != VEXA_OK) {
      return ReportFailure("cat", o.path, "looking up variable '" + name + "'",
                           code);
    }
    char actual[VEXA_NAME_BUFFER];
    vexaGetVarInfo(handle, static_cast<int>(c.handle) - 1, actual, &c.width);
    c.name = actual;
    if (o.labels) LoadLabels(handle, c);
    out->push_back(std::move(c));
  }
  return 0;
}

void WriteValue(int handle, const Column& c, bool labels, double sysmis,
                std::vector<char>& text, CsvWriter& csv) {
  if (c.width == 0) {
    double v = 0;
    vexaGetValueNumeric(handle, c.handle, &v);
    if (labels && v == v) {  // NaN has no label
      auto it = c.number_labels.find(v);
      if (it != c.number_labels.end()) return csv.Field(it->second);
    }
    if (v == sysmis) return csv.Empty();
    return csv.Number(v);
  }
  vexaGetValueChar(handle, c.handle, text.data(), static_cast<int>(text.size()));
  std::string_view value = TrimTrailingBlanks(text.data());
  if (labels) {
    auto it = c.text_labels.find(value);
    if (it != c.text_labels.end()) return csv.Field(it->second);
  }
  csv.Field(value);
}

}  // namespace

int RunCat(const std::vector<std::string>& args) {
  CatOptions o;
  if (!ParseArgs(args, o)) {
    std::cerr << "usage: vexa cat [--labels] [--range FIRST:LAST] "
                 "[--vars a,b,c] FILE\n";
    return 2;
  }
  int handle = -1;
  int code = vexaOpenReadU8(o.path.c_str(), &handle);
  if (code != VEXA_OK) return ReportFailure("cat", o.path, "open", code);
  std::unique_ptr<int, void (*)(int*)> closer(&handle,
                                              [](int* h) { vexaCloseRead(*h); });
  // The tool reads in UTF-8 mode: a file in another encoding arrives
  // converted, which is worth a note beside the CSV.
  char encoding[VEXA_ENCODING_BUFFER];
  int code_page = 0;
  if (vexaGetFileEncoding(handle, encoding) == VEXA_OK &&
      (vexaGetFileCodePage(handle, &code_page) != VEXA_OK || code_page != kUtf8CodePage)) {
    std::cerr << "vexa cat: " << o.path << ": texts converted from " << encoding
              << " to UTF-8\n";
  }
  std::vector<Column> columns;
  if (int status = SelectColumns(handle, o, &columns); status != 0) {
    return status;
  }
  CsvWriter csv(stdout);
  for (const Column& c : columns) csv.Field(c.name);
  csv.EndLine();

  if (o.first > 1 &&
      (code = vexaSeekNextCase(handle, static_cast<int>(o.first - 1))) !=
          VEXA_OK) {
    csv.Flush();
    return ReportFailure("cat", o.path,
                         "seeking to case " + std::to_string(o.first), code);
  }
  double sysmis = vexaSysmisVal();
  std::vector<char> text(VEXA_MAX_STRING_WIDTH + 1);
  for (long n = o.first; o.last < 0 || n <= o.last; ++n) {
    code = vexaReadCaseRecord(handle);
    if (code == VEXA_W_END_OF_DATA) break;
    if (code != VEXA_OK) {
      csv.Flush();
      return ReportFailure("cat", o.path, "reading case " + std::to_string(n),
                           code);
    }
    for (const Column& c : columns) WriteValue(handle, c, o.labels, sysmis, text, csv);
    csv.EndLine();
  }
  return 0;
}

}  // namespace vexa::tool
