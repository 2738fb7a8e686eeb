// Cases written out as rows, in one of the forms `vexa cat` offers: CSV with
// a header line, a JSON array of objects, or one JSON object per line
// (NDJSON). Memory stays flat: rows go out as the buffer fills.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "csv_writer.h"

namespace vexa::tool {

class CaseOutput {
 public:
  enum class Form { kCsv, kJson, kNdjson };

  // Writes the CSV header line at once.
  CaseOutput(std::FILE* out, Form form, std::vector<std::string> names);

  // The next value of the row: missing, a number, a text.
  void Null();
  void Number(double value);
  void Text(std::string_view text);
  void EndRow();
  // Ends the output (the JSON array's bracket) and flushes it. False once
  // a write has failed; error() holds its errno.
  bool Finish();
  int error() const { return out_.error(); }

 private:
  void Member(nlohmann::ordered_json value);

  Form form_;
  CsvWriter out_;
  std::vector<std::string> names_;
  nlohmann::ordered_json row_;
  size_t rows_ = 0;
};

}  // namespace vexa::tool
