// `vexa info [--json] FILE`: a readable summary of a system file.
#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>

#include "commands.h"
#include "file_summary.h"
#include "hex_text.h"
#include "json_writer.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr int kUtf8CodePage = 65001;

std::string TypeText(int type) {
  return type == 0 ? "numeric" : "string(" + std::to_string(type) + ")";
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
    text += v.type == 0 ? NumberText(m.numbers[i]) : "'" + m.texts[i] + "'";
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

void PrintText(const FileSummary& s, std::ostream& out) {
  out << "Form:         " << s.form << '\n'
      << "Compression:  " << CompressionName(s.compression) << '\n'
      << ZlibBlocksLine(s)
      << "Cases:        "
      << (s.case_count < 0 ? std::string("unknown")
                           : std::to_string(s.case_count))
      << '\n'
      << "Created:      " << s.created << '\n'
      << "File label:   " << s.file_label << '\n'
      << "Product:      " << s.product << '\n'
      << "Encoding:     " << EncodingText(s) << '\n'
      << "Release:      " << ReleaseText(s) << '\n'
      << "Text info:    " << s.text_info << '\n'
      << "Variables:    " << s.variables.size() << '\n';
  for (const VariableSummary& v : s.variables) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "  %-16s %-12s %-10s %-10s %-8s %-6s %4d %-9s", v.name.c_str(),
                  TypeText(v.type).c_str(), FormatText(v.print_format).c_str(),
                  FormatText(v.write_format).c_str(), MeasureName(v.measure),
                  AlignmentName(v.alignment), v.display_width,
                  RoleName(v.role));
    out << line;
    if (v.is_weight) out << " weight";
    if (v.has_label) out << "  \"" << v.label << '"';
    out << '\n' << ExtrasLine(v);
  }
  if (!s.documents.empty()) {
    out << "Documents:    " << s.documents.size() << " lines\n";
    for (const std::string& line : s.documents) out << "  | " << line << '\n';
  }
  if (!s.attributes.empty()) {
    out << "Attributes:   " << s.attributes.size() << '\n';
    for (const std::string& line : s.attributes) out << "  " << line << '\n';
  }
  for (const auto& [title, text] : {std::pair{"Multiple-response sets:", &s.mult_resp_sets},
                                    std::pair{"Variable sets:", &s.variable_sets}}) {
    if (text->empty()) continue;
    out << title << '\n';
    std::string_view rest = *text;
    while (!rest.empty()) {
      const size_t lf = std::min(rest.find('\n'), rest.size());
      out << "  " << rest.substr(0, lf) << '\n';
      rest.remove_prefix(std::min(lf + 1, rest.size()));
    }
  }
  if (!s.date_variables.empty()) {
    out << "Date variables:";
    for (int v : s.date_variables) out << ' ' << v;
    out << '\n';
  }
  PrintExtensionList(s, out);
}

void PrintValueLabels(const VariableSummary& v, JsonWriter& j) {
  j.BeginArray();
  for (const ValueLabel& l : v.value_labels) {
    j.BeginObject();
    j.Key("value");
    if (v.type == 0) {
      j.Number(l.number);
    } else {
      j.String(l.text);
    }
    j.Key("label"), j.String(l.label);
    j.EndObject();
  }
  j.EndArray();
}

void PrintMissing(const VariableSummary& v, JsonWriter& j) {
  j.BeginObject();
  j.Key("code"), j.Int(v.missing.code);
  j.Key("values");
  j.BeginArray();
  for (int i = 0; i < v.missing.Count() && i < 3; ++i) {
    if (v.type == 0) {
      j.Number(v.missing.numbers[i]);
    } else {
      j.String(v.missing.texts[i]);
    }
  }
  j.EndArray();
  j.EndObject();
}

// Size and count are null for a record the library keeps to itself; "data" is
// the hex text of a record a caller may set.
void PrintExtensions(const FileSummary& s, JsonWriter& j) {
  j.BeginArray();
  for (const ExtensionSummary& e : s.extensions) {
    j.BeginObject();
    j.Key("subtype"), j.Int(e.subtype);
    j.Key("element_size");
    e.count < 0 ? j.Null() : j.Int(e.element_size);
    j.Key("count");
    e.count < 0 ? j.Null() : j.Int(e.count);
    if (e.has_data) j.Key("data"), j.String(ToHex(e.data));
    j.EndObject();
  }
  j.EndArray();
}

void PrintJson(const FileSummary& s, std::ostream& out) {
  JsonWriter j(out);
  j.BeginObject();
  j.Key("form"), j.String(s.form);
  j.Key("compression"), j.String(CompressionName(s.compression));
  j.Key("case_count"), j.Int(s.case_count);
  j.Key("created");
  if (!s.created.empty()) {
    j.String(s.created);
  } else {
    j.Null();
  }
  j.Key("time_stamp"), j.Number(s.time_stamp);
  j.Key("file_label"), j.String(s.file_label);
  j.Key("product"), j.String(s.product);
  j.Key("encoding"), j.String(s.encoding);
  j.Key("code_page");
  s.code_page > 0 ? j.Int(s.code_page) : j.Null();
  j.Key("release");
  if (s.has_release) {
    j.BeginArray();
    for (int part : s.release) j.Int(part);
    j.EndArray();
  } else {
    j.Null();
  }
  j.Key("text_info");
  s.has_text_info ? j.String(s.text_info) : j.Null();
  j.Key("variables");
  j.BeginArray();
  for (const VariableSummary& v : s.variables) {
    j.BeginObject();
    j.Key("name"), j.String(v.name);
    j.Key("type"), j.Int(v.type);
    j.Key("print_format"), j.String(FormatText(v.print_format));
    j.Key("write_format"), j.String(FormatText(v.write_format));
    j.Key("label");
    if (v.has_label) {
      j.String(v.label);
    } else {
      j.Null();
    }
    j.Key("measure"), j.String(MeasureName(v.measure));
    j.Key("alignment"), j.String(AlignmentName(v.alignment));
    j.Key("display_width"), j.Int(v.display_width);
    j.Key("role"), j.String(RoleName(v.role));
    j.Key("weight"), j.Bool(v.is_weight);
    j.Key("value_labels"), PrintValueLabels(v, j);
    j.Key("missing"), PrintMissing(v, j);
    j.EndObject();
  }
  j.EndArray();
  j.Key("documents");
  j.BeginArray();
  for (const std::string& line : s.documents) j.String(line);
  j.EndArray();
  j.Key("extensions"), PrintExtensions(s, j);
  j.EndObject();
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  bool json = false;
  std::string path;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (path.empty() && (a.empty() || a[0] != '-')) {
      path = a;
    } else {
      std::cerr << "vexa info: unexpected argument '" << a << "'\n";
      return 2;
    }
  }
  if (path.empty()) {
    std::cerr << "usage: vexa info [--json] FILE\n";
    return 2;
  }
  FileSummary summary;
  int code = Summarize(path, &summary);
  if (code != VEXA_OK) return ReportFailure("info", path, "open", code);
  if (json) {
    PrintJson(summary, std::cout);
  } else {
    PrintText(summary, std::cout);
  }
  return 0;
}

}  // namespace vexa::tool
