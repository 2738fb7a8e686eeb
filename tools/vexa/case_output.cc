#include "case_output.h"

#include <cmath>

#include "summary_json.h"

namespace vexa::tool {

CaseOutput::CaseOutput(std::FILE* out, Form form, std::vector<std::string> names)
    : form_(form), out_(out), names_(std::move(names)), row_(nlohmann::ordered_json::object()) {
  if (form_ == Form::kJson) out_.Raw("[");
  if (form_ != Form::kCsv) return;
  for (const std::string& name : names_) out_.Field(name);
  out_.EndLine();
}

void CaseOutput::Member(nlohmann::ordered_json value) {
  row_[names_[row_.size()]] = std::move(value);
}

void CaseOutput::Null() {
  if (form_ == Form::kCsv) return out_.Empty();
  Member(nullptr);
}

void CaseOutput::Number(double value) {
  if (form_ == Form::kCsv) return out_.Number(value);
  // JSON has no NaN or infinities.
  Member(std::isfinite(value) ? JsonNumber(value) : nlohmann::ordered_json());
}

void CaseOutput::Text(std::string_view text) {
  if (form_ == Form::kCsv) return out_.Field(text);
  Member(std::string(text));
}

void CaseOutput::EndRow() {
  ++rows_;
  if (form_ == Form::kCsv) return out_.EndLine();
  if (form_ == Form::kJson) out_.Raw(rows_ == 1 ? "\n" : ",\n");
  out_.Raw(row_.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
  if (form_ == Form::kNdjson) out_.Raw("\n");
  row_ = nlohmann::ordered_json::object();
  out_.FlushIfFull();
}

bool CaseOutput::Finish() {
  if (form_ == Form::kJson) out_.Raw(rows_ == 0 ? "]\n" : "\n]\n");
  return out_.Flush();
}

}  // namespace vexa::tool
