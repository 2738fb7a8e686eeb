#include "csv_writer.h"

#include <cerrno>
#include <charconv>
#include <cmath>

namespace vexa::tool {

void CsvWriter::Separator() {
  if (line_started_) buffer_.push_back(',');
  line_started_ = true;
}

void CsvWriter::Field(std::string_view text) {
  Separator();
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    buffer_.append(text);
    return;
  }
  buffer_.push_back('"');
  for (char c : text) {
    if (c == '"') buffer_.push_back('"');
    buffer_.push_back(c);
  }
  buffer_.push_back('"');
}

void CsvWriter::Number(double value) {
  Separator();
  // Plain decimals for the magnitudes of everyday data (dates as seconds
  // among them), the shortest form otherwise; both read back exactly.
  double magnitude = std::fabs(value);
  bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e15);
  char digits[400];
  auto result = plain ? std::to_chars(digits, digits + sizeof digits, value,
                                      std::chars_format::fixed)
                      : std::to_chars(digits, digits + sizeof digits, value);
  buffer_.append(digits, result.ptr);
}

void CsvWriter::EndLine() {
  buffer_.push_back('\n');
  line_started_ = false;
  FlushIfFull();
}

bool CsvWriter::Flush() {
  if (error_ == 0 && !buffer_.empty() &&
      std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) {
    error_ = errno != 0 ? errno : EIO;
  }
  buffer_.clear();
  if (error_ == 0 && std::fflush(out_) != 0) error_ = errno != 0 ? errno : EIO;
  return error_ == 0;
}

}  // namespace vexa::tool
