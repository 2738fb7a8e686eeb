#include "csv_reader.h"

#include <cstring>

namespace vexa::tool {

CsvReader::~CsvReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool CsvReader::Open(const std::string& path, char delimiter) {
  delimiter_ = delimiter;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return false;
  if (Fill() && end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) {
    at_ = 3;
  }
  return true;
}

bool CsvReader::Fill() {
  if (at_ < end_) return true;
  if (file_ == nullptr || read_error_) return false;
  at_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  if (end_ == 0 && std::ferror(file_)) read_error_ = true;
  return end_ > 0;
}

int CsvReader::Peek() {
  return Fill() ? static_cast<unsigned char>(buffer_[at_]) : kEof;
}

int CsvReader::Get() {
  if (!Fill()) return kEof;
  return static_cast<unsigned char>(buffer_[at_++]);
}

void CsvReader::EndOfLine(int c) {
  if (c == '\r' && Peek() == '\n') Get();
  ++line_;
}

CsvReader::Result CsvReader::Next(std::vector<std::string>* fields) {
  fields->clear();
  for (int c = Peek(); c == '\n' || c == '\r'; c = Peek()) EndOfLine(Get());  // blank lines
  record_line_ = line_;
  if (Peek() == kEof) {
    if (read_error_) {
      error_ = "read error";
      return Result::kError;
    }
    return Result::kEnd;
  }
  fields->emplace_back();
  bool at_field_start = true;
  for (;;) {
    int c = Get();
    if (c == kEof || c == '\n' || c == '\r') {
      if (c != kEof) EndOfLine(c);
      break;
    }
    if (c == delimiter_) {
      fields->emplace_back();
      at_field_start = true;
      continue;
    }
    std::string& field = fields->back();
    if (c != '"' || !at_field_start) {
      field.push_back(static_cast<char>(c));
      at_field_start = false;
      continue;
    }
    // A quoted field: up to the quote that is not doubled.
    for (;;) {
      c = Get();
      if (c == kEof) {
        error_ = "unterminated quoted field in the record starting on line " +
                 std::to_string(record_line_);
        return Result::kError;
      }
      if (c == '"') {
        if (Peek() != '"') break;
        Get();
      } else if (c == '\n' || (c == '\r' && Peek() != '\n')) {
        ++line_;
      }
      field.push_back(static_cast<char>(c));
    }
    int after = Peek();
    if (after != delimiter_ && after != '\n' && after != '\r' && after != kEof) {
      error_ = "text after a closing quote on line " + std::to_string(line_);
      return Result::kError;
    }
    at_field_start = false;
  }
  if (read_error_) {
    error_ = "read error";
    return Result::kError;
  }
  return Result::kRecord;
}

}  // namespace vexa::tool
