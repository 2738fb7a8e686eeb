// What `vexa info` reports about a system file, gathered through the C API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "enum_names.h"
#include "format_text.h"
#include "vexaio.h"

namespace vexa::tool {

// One value label: the value is `number` for a numeric variable, `text`
// (trailing blanks removed) for a string variable.
struct ValueLabel {
  double number = 0.0;
  std::string text;
  std::string label;
};

// User-missing values as the C API gives them: code 0 none, 1 to 3 discrete
// values, -2 a range (low, high), -3 a range and one discrete value. String
// variables have codes 0 to 3 and their values in `texts` (trailing blanks
// removed).
// (The lint's finding of a reserved "__i0" here is about a name the
// compiler makes for copying the array member, not one in this code.)
struct MissingValues {  // NOLINT(bugprone-reserved-identifier)
  int code = 0;
  double numbers[3] = {0.0, 0.0, 0.0};
  std::string texts[3];
  int Count() const { return code < 0 ? -code : code; }
};

// An attribute of the file or of a variable: one value, or several in
// order (the ones the file leaves empty as "").
struct Attribute {
  std::string name;
  std::vector<std::string> values;
};

// A multiple-response set. A set of dichotomies counts `counted_value`,
// a number when `numeric_counted`; `extended` and `label_from_variables`
// are its flags.
struct MultRespSet {
  std::string name;  // begins with "$"
  std::string label;
  bool dichotomies = false;
  std::string counted_value;
  bool numeric_counted = false;
  bool extended = false;
  bool label_from_variables = false;
  std::vector<std::string> variables;
};

struct VariableSet {
  std::string name;
  std::vector<std::string> variables;
};

struct VariableSummary {
  bool IsNumeric() const { return type == kNumericType; }

  std::string name;
  int type = kNumericType;  // kNumericType, else string width
  FormatSpec print_format;
  FormatSpec write_format;
  bool has_label = false;
  std::string label;
  int measure = 0;
  int alignment = 0;
  int display_width = 0;
  int role = 0;
  bool is_weight = false;
  std::vector<ValueLabel> value_labels;
  MissingValues missing;
  std::vector<Attribute> attributes;  // the role and measure travel apart
};

// One extension record the file held. The library keeps some subtypes to
// itself (their size and count are then unknown here, -1); the data of a
// record a caller may set is carried as `data` so that an import can
// restore it. The text information (subtype 10) travels as text instead.
struct ExtensionSummary {
  int subtype = 0;
  int element_size = -1;
  int64_t count = -1;
  bool has_data = false;
  std::string data;  // element_size * count bytes
};

struct FileSummary {
  std::string form;         // "plain", "zlib"
  int compression = VEXA_COMPRESSION_NONE;
  int64_t zlib_blocks = 0;  // the zlib form's blocks and the bytes of case
  int64_t zlib_data = 0;    // data before and after compression
  int64_t zlib_compressed = 0;
  int64_t case_count = -1;  // -1 when unknown
  double time_stamp = 0.0;  // seconds since 14 Oct 1582, 0 when none
  std::string created;      // "05 Jan 1970 13:45:10", "" when none
  std::string created_iso;  // "1970-01-05T13:45:10", "" when none
  std::string file_label;
  std::string product;      // the header's product text after its signature
  std::string encoding;     // of the file's texts, as the library names it
  int code_page = 0;        // of that encoding, 0 when it has none
  std::vector<VariableSummary> variables;
  std::vector<std::string> documents;  // lines, trailing blanks removed
  std::vector<Attribute> attributes;  // of the file
  std::vector<MultRespSet> mult_resp_sets;
  std::vector<VariableSet> variable_sets;
  // The date variables information as the library hands it out and takes
  // it back (the variables named by their case positions); empty for none.
  std::vector<int> date_variables;
  bool has_release = false;
  int release[3] = {0, 0, 0};  // major, minor, revision
  bool has_text_info = false;
  std::string text_info;
  std::vector<ExtensionSummary> extensions;  // ascending subtype
};

// Opens the file and fills the summary. Returns the result code of the
// open (0 on success); after a failure no other library call has been made,
// so the library's error detail is still the open's.
int Summarize(const std::string& path, FileSummary* summary);

}  // namespace vexa::tool
