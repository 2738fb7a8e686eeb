// `vexa info [--json] FILE`: a readable summary of a system file.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "passwords.h"
#include "commands.h"
#include "file_paths.h"
#include "file_summary.h"
#include "hex_text.h"
#include "summary_json.h"
#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr int kUtf8CodePage = 65001;

std::string TypeText(int type) {
  return type == kNumericType ? "numeric" : "string(" + std::to_string(type) + ")";
}

std::string NumberText(double value) {
  if (value == -DBL_MAX) return "SYSMIS";
  if (value == std::nextafter(-DBL_MAX, 0.0)) return "LO";
  if (value == DBL_MAX) return "HI";
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

// "97, 98", "1 thru 5, 9", "'NA', 'DK'".
std::string MissingText(const VariableSummary& v) {
  const MissingValues& m = v.missing;
  std::string text;
  for (int i = 0; i < m.Count() && i < 3; ++i) {
    if (i > 0) text += (m.code < 0 && i == 1) ? " thru " : ", ";
    text += v.IsNumeric() ? NumberText(m.numbers[i]) : "'" + m.texts[i] + "'";
  }
  return text;
}

// One indented line on value labels and missing values, or "".
std::string ExtrasLine(const VariableSummary& v) {
  std::string line;
  if (!v.value_labels.empty()) {
    line += std::to_string(v.value_labels.size()) + " value label" +
            (v.value_labels.size() == 1 ? "" : "s");
  }
  if (v.missing.code != 0) {
    if (!line.empty()) line += "; ";
    line += "missing " + MissingText(v);
  }
  return line.empty() ? line : "      " + line + '\n';
}

// "windows-1252 (code page 1252), shown in UTF-8"; the tool reads every
// file in UTF-8 mode, so texts of any other encoding arrive converted.
std::string EncodingText(const FileSummary& s) {
  std::string text = s.encoding;
  if (s.code_page > 0) text += " (code page " + std::to_string(s.code_page) + ")";
  if (s.code_page != kUtf8CodePage) text += ", shown in UTF-8";
  return text;
}

std::string ReleaseText(const FileSummary& s) {
  if (!s.has_release) return "";
  return std::to_string(s.release[0]) + "." + std::to_string(s.release[1]) +
         "." + std::to_string(s.release[2]);
}

// "subtype 30  6 x 1 bytes", or "reserved" for the records the library
// keeps to itself.
void PrintExtensionList(const FileSummary& s, std::ostream& out) {
  if (s.extensions.empty()) return;
  out << "Extensions:   " << s.extensions.size() << " records\n";
  for (const ExtensionSummary& e : s.extensions) {
    char line[96];
    if (e.count < 0) {
      std::snprintf(line, sizeof line, "  subtype %2d  reserved\n",
                    e.subtype);
    } else {
      std::snprintf(line, sizeof line, "  subtype %2d  %lld x %d bytes\n",
                    e.subtype, static_cast<long long>(e.count),
                    e.element_size);
    }
    out << line;
  }
}

// "Zlib blocks:  3 (4.21:1)" for a zlib file: the blocks and the ratio of
// the case data's bytes to their compressed bytes; nothing for others.
std::string ZlibBlocksLine(const FileSummary& s) {
  if (s.form != "zlib") return {};
  char ratio[32] = "-";
  if (s.zlib_compressed > 0) {
    std::snprintf(ratio, sizeof ratio, "%.2f:1",
                  static_cast<double>(s.zlib_data) / static_cast<double>(s.zlib_compressed));
  }
  return "Zlib blocks:  " + std::to_string(s.zlib_blocks) + " (" + ratio + ")\n";
}

// "owner: name = value", with "name[k]" for each value of several.
void AttributeLines(const std::string& owner, const std::vector<Attribute>& attributes,
                    std::vector<std::string>* lines) {
  for (const Attribute& a : attributes) {
    for (size_t k = 0; k < a.values.size(); ++k) {
      if (a.values[k].empty()) continue;
      const std::string name =
          a.values.size() == 1 ? a.name : a.name + "[" + std::to_string(k + 1) + "]";
      lines->push_back(owner + ": " + name + " = " + a.values[k]);
    }
  }
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : " ") + n;
  return text;
}

// Attributes, multiple-response sets and variable sets.
void PrintMetadata(const FileSummary& s, std::ostream& out) {
  std::vector<std::string> lines;
  AttributeLines("(file)", s.attributes, &lines);
  for (const VariableSummary& v : s.variables) AttributeLines(v.name, v.attributes, &lines);
  if (!lines.empty()) {
    out << "Attributes:   " << lines.size() << '\n';
    for (const std::string& line : lines) out << "  " << line << '\n';
  }
  if (!s.mult_resp_sets.empty()) out << "Multiple-response sets:\n";
  for (const MultRespSet& m : s.mult_resp_sets) {
    out << "  " << m.name << ": "
        << (m.dichotomies ? "dichotomies counting " + m.counted_value : "categories")
        << (m.extended ? ", extended" : "")
        << (m.label_from_variables ? ", labels from the variables" : "") << ": \""
        << m.label << "\": " << Joined(m.variables) << '\n';
  }
  if (!s.variable_sets.empty()) out << "Variable sets:\n";
  for (const VariableSet& v : s.variable_sets) {
    out << "  " << v.name << ": " << Joined(v.variables) << '\n';
  }
}

// A label on one line: its line breaks become blanks.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// The variables as a table under a header row, columns aligned by display
// width; with `labels`, each variable's value labels and missing values
// beneath it.
void PrintVariables(const FileSummary& s, bool labels, std::ostream& out) {
  std::vector<std::vector<std::string>> rows = {
      {"Name", "Type", "Print", "Write", "Measure", "Align", "Width", "Role", "Label"}};
  for (const VariableSummary& v : s.variables) {
    rows.push_back({v.name, TypeText(v.type), FormatText(v.print_format),
                    FormatText(v.write_format), MeasureName(v.measure),
                    AlignmentName(v.alignment), std::to_string(v.display_width),
                    std::string(RoleName(v.role)) + (v.is_weight ? " weight" : ""),
                    v.has_label ? "\"" + OneLine(v.label) + "\"" : ""});
  }
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    std::string line = " ";
    for (size_t i = 0; i < rows[r].size(); ++i) {
      line += " " + (i + 1 < rows[r].size() ? PadRight(rows[r][i], widths[i]) : rows[r][i]);
    }
    out << std::string(TrimTrailingBlanks(line)) << '\n';
    if (r == 0) continue;
    const VariableSummary& v = s.variables[r - 1];
    if (!labels) {
      out << ExtrasLine(v);
      continue;
    }
    for (const ValueLabel& l : v.value_labels) {
      out << "      " << (v.IsNumeric() ? NumberText(l.number) : "'" + l.text + "'") << " = \""
          << OneLine(l.label) << "\"\n";
    }
    if (v.missing.code != 0) out << "      missing " << MissingText(v) << '\n';
  }
}

void PrintText(const FileSummary& s, bool labels, std::ostream& out) {
  out << "Form:         " << s.form << '\n'
      << "Compression:  " << CompressionName(s.compression) << '\n'
      << ZlibBlocksLine(s)
      << "Cases:        "
      << (s.case_count < 0 ? std::string("unknown") : std::to_string(s.case_count)) << '\n'
      << "Created:      " << s.created << '\n'
      << "File label:   " << s.file_label << '\n'
      << "Product:      " << s.product << '\n'
      << "Encoding:     " << EncodingText(s) << '\n'
      << "Release:      " << ReleaseText(s) << '\n'
      << "Text info:    " << OneLine(s.text_info) << '\n'
      << "Variables:    " << s.variables.size() << '\n';
  PrintVariables(s, labels, out);
  if (!s.documents.empty()) {
    out << "Documents:    " << s.documents.size() << " lines\n";
    for (const std::string& line : s.documents) out << "  | " << line << '\n';
  }
  PrintMetadata(s, out);
  if (!s.date_variables.empty()) {
    out << "Date variables:";
    for (int v : s.date_variables) out << ' ' << v;
    out << '\n';
  }
  PrintExtensionList(s, out);
}

}  // namespace

Command AddInfoCommand(CLI::App& vexa) {
  struct Options {
    bool json = false;
    bool labels = false;
    std::string path;
  };
  auto o = std::make_shared<Options>();
  CLI::App* app = vexa.add_subcommand(
      "info", "Summary of a system file: header facts, one line per variable, documents");
  app->add_flag("--json", o->json,
                "The dictionary as JSON (what import --dict reads back)");
  app->add_flag("--labels", o->labels, "List each variable's value labels and missing values");
  app->add_option("FILE", o->path, "The system file (\"-\": standard input)")->required();
  AddPasswordOption(*app);
  return {app, [o] {
            InputFile in;
            std::string error;
            if (!in.Open(o->path, &error)) return Fail("info", in.name(), error);
            FileSummary summary;
            const int code = Summarize(in.path(), &summary);
            if (code != VEXA_OK) return ReportFailure("info", in.name(), "open", code);
            std::ostringstream text;
            if (o->json) {
              text << SummaryJson(summary).dump(
                          2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                   << '\n';
            } else {
              PrintText(summary, o->labels, text);
            }
            return WriteStdout("info", text.str());
          }};
}

}  // namespace vexa::tool
