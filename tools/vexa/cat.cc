// `vexa cat [--labels] [--range FIRST:LAST] [--vars a,b,c] [--where NAME=VALUE]...
// [--missing value|blank|label] [--raw] [--formatted] [--format csv|json|ndjson]
// FILE`: the cases of a system file, streamed case by case.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "passwords.h"
#include "commands.h"
#include "case_filter.h"
#include "case_output.h"
#include "file_paths.h"
#include "missing_values.h"
#include "text_util.h"
#include "value_text.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr int kUtf8CodePage = 65001;

struct Column {
  std::string name;
  double handle = 0;
  int width = kNumericType;  // kNumericType, else the string width
  FormatSpec format;  // the print format
  TimeKind time = TimeKind::kNone;
  // Value labels, looked up when --labels is given: numeric keys by value,
  // string keys by the value with trailing blanks removed.
  std::map<double, std::string> number_labels;
  std::map<std::string, std::string, std::less<>> text_labels;
  MissingValues missing;  // loaded unless --missing value
};

// How user-missing values print: as their values, empty (null in JSON), or
// as their value labels where they have them.
enum class MissingAs { kValue, kBlank, kLabel };

struct CatOptions {
  bool labels = false;
  bool raw = false;        // dates and times as numbers
  bool formatted = false;  // numbers in their print formats
  CaseOutput::Form form = CaseOutput::Form::kCsv;
  long first = 1;   // 1-based, inclusive
  long last = -1;   // -1: to the end
  std::vector<std::string> vars;
  std::vector<Condition> where;  // only the cases where all hold
  MissingAs missing = MissingAs::kValue;
  std::string path;
};

void LoadLabels(int handle, Column& c) {
  int n = 0;
  char** labels = nullptr;
  if (c.width == kNumericType) {
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

// "FIRST:LAST", either end may be left out. Empty when valid, else why not.
std::string ParseRange(const std::string& text, CatOptions& o) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return "expected FIRST:LAST";
  char* end = nullptr;
  const std::string a = text.substr(0, colon), b = text.substr(colon + 1);
  if (!a.empty()) {
    o.first = std::strtol(a.c_str(), &end, 10);
    if (*end != '\0' || o.first < 1) return "FIRST must be a case number from 1";
  }
  if (!b.empty()) {
    o.last = std::strtol(b.c_str(), &end, 10);
    if (*end != '\0' || o.last < 1) return "LAST must be a case number from 1";
    if (o.last < o.first) return "first after last";
  }
  return "";
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
    FormatSpec& f = c.format;
    vexaGetVarPrintFormat(handle, actual, &f.type, &f.decimals, &f.width);
    if (c.width == kNumericType && !o.raw) c.time = TimeKindOf(f.type);
    if (o.labels || o.missing == MissingAs::kLabel) LoadLabels(handle, c);
    if (o.missing != MissingAs::kValue) c.missing.Load(handle, c.name, c.width == kNumericType);
    out->push_back(std::move(c));
  }
  return 0;
}

void WriteValue(int handle, const Column& c, const CatOptions& o, double sysmis,
                std::vector<char>& text, CaseOutput& out) {
  if (c.width == kNumericType) {
    double v = 0;
    vexaGetValueNumeric(handle, c.handle, &v);
    const bool missing = o.missing != MissingAs::kValue && c.missing.Numeric(v);
    if (missing && o.missing == MissingAs::kBlank) return out.Null();
    if ((o.labels || missing) && v == v) {  // NaN has no label
      auto it = c.number_labels.find(v);
      if (it != c.number_labels.end()) return out.Text(it->second);
    }
    if (v == sysmis) return out.Null();
    if (o.formatted && !o.raw) return out.Text(FormattedText(v, c.format));
    if (c.time != TimeKind::kNone) {
      const std::string iso = IsoText(v, c.time);
      if (!iso.empty()) return out.Text(iso);
    }
    return out.Number(v);
  }
  vexaGetValueChar(handle, c.handle, text.data(), static_cast<int>(text.size()));
  std::string_view value = TrimTrailingBlanks(text.data());
  const bool missing = o.missing != MissingAs::kValue && c.missing.Text(value);
  if (missing && o.missing == MissingAs::kBlank) return out.Null();
  if (o.labels || missing) {
    auto it = c.text_labels.find(value);
    if (it != c.text_labels.end()) return out.Text(it->second);
  }
  out.Text(value);
}

int RunCat(const CatOptions& o) {
  InputFile in;
  std::string error;
  if (!in.Open(o.path, &error)) return Fail("cat", in.name(), error);
  int handle = -1;
  int code = OpenRead(in.path(), &handle);
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
  CaseFilter filter;
  if (std::string why = filter.Prepare(handle, o.where, o.labels); !why.empty()) {
    std::cerr << "vexa cat: --where: " << why << " (see vexa cat --help)\n";
    return 2;
  }
  std::vector<std::string> names;
  for (const Column& c : columns) names.push_back(c.name);
  CaseOutput out(stdout, o.form, std::move(names));

  if (o.first > 1 &&
      (code = vexaSeekNextCase(handle, static_cast<int>(o.first - 1))) !=
          VEXA_OK) {
    out.Finish();
    return ReportFailure("cat", o.path,
                         "seeking to case " + std::to_string(o.first), code);
  }
  double sysmis = vexaSysmisVal();
  std::vector<char> text(VEXA_MAX_STRING_WIDTH + 1);
  for (long n = o.first; o.last < 0 || n <= o.last; ++n) {
    code = vexaReadCaseRecord(handle);
    if (code == VEXA_W_END_OF_DATA) break;
    if (code != VEXA_OK) {
      out.Finish();
      return ReportFailure("cat", o.path, "reading case " + std::to_string(n),
                           code);
    }
    if (!filter.Matches(handle)) continue;
    for (const Column& c : columns) WriteValue(handle, c, o, sysmis, text, out);
    out.EndRow();
    if (out.error() != 0) break;
  }
  if (!out.Finish()) return Fail("cat", "standard output", std::strerror(out.error()));
  return 0;
}

}  // namespace

Command AddCatCommand(CLI::App& vexa) {
  auto o = std::make_shared<CatOptions>();
  CLI::App* app = vexa.add_subcommand(
      "cat", "The cases of a system file as CSV (or JSON), dates and times in ISO 8601");
  app->add_flag("--labels", o->labels, "Value labels instead of values where there are any");
  AddPasswordOption(*app);
  app->add_option("--range", "Cases FIRST:LAST, counted from 1, both included")
      ->type_name("FIRST:LAST")
      ->check(CLI::Validator([o](std::string& text) { return ParseRange(text, *o); }, ""));
  app->add_option("--vars", o->vars, "The variables to print, in this order")
      ->delimiter(',')
      ->type_name("a,b,c");
  app->add_option("--where",
                  "Only the cases where a variable compares so with a value (=, !=, <, <=, >, "
                  ">=; repeatable, all must hold; with --labels the value may be a label)")
      ->type_name("NAME=VALUE")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CLI::Validator(
          [o](std::string& text) {
            Condition c;
            std::string why = ParseCondition(text, &c);
            if (why.empty()) o->where.push_back(std::move(c));
            return why;
          },
          ""));
  app->add_option_function<std::string>(
         "--missing",
         [o](const std::string& as) {
           o->missing = as == "blank" ? MissingAs::kBlank
                        : as == "label" ? MissingAs::kLabel
                                        : MissingAs::kValue;
         },
         "User-missing values as their values (the default), empty (null in JSON), or as "
         "their value labels where they have them")
      ->type_name("value|blank|label")
      ->check(CLI::IsMember({"value", "blank", "label"}).description(""));
  app->add_flag("--raw", o->raw, "Dates and times as the numbers the file holds");
  app->add_flag("--formatted", o->formatted,
                "Numbers in their print formats (F, COMMA, DOLLAR, PCT; times in ISO 8601)");
  app->add_option_function<std::string>(
         "--format",
         [o](const std::string& form) {
           o->form = form == "json"     ? CaseOutput::Form::kJson
                     : form == "ndjson" ? CaseOutput::Form::kNdjson
                                        : CaseOutput::Form::kCsv;
         },
         "Output form: CSV (the default), a JSON array of objects, one JSON object a line")
      ->type_name("csv|json|ndjson")
      ->check(CLI::IsMember({"csv", "json", "ndjson"}).description(""));
  app->add_option("FILE", o->path, "The system file (\"-\": standard input)")->required();
  return {app, [o] { return RunCat(*o); }};
}

}  // namespace vexa::tool
