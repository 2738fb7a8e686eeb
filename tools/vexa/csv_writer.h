// Buffered CSV output: fields separated by commas, lines ended by "\n",
// fields quoted only when they hold a comma, a quote or a line break (and
// quotes then doubled). Memory stays flat: the buffer is written out as it
// fills.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vexa::tool {

class CsvWriter {
 public:
  explicit CsvWriter(std::FILE* out) : out_(out) { buffer_.reserve(kFlushAt); }
  ~CsvWriter() { Flush(); }
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  void Field(std::string_view text);
  // The shortest decimal form that reads back as the same double, without an
  // exponent for magnitudes from 1e-4 up to 1e15.
  void Number(double value);
  void Empty() { Separator(); }
  // Bytes as they are, outside the CSV grammar.
  void Raw(std::string_view bytes) { buffer_.append(bytes); }
  void EndLine();
  void FlushIfFull() {
    if (buffer_.size() >= kFlushAt) Flush();
  }
  // Writes out what is buffered and flushes the stream. False once any write
  // has failed; error() then holds its errno.
  bool Flush();
  int error() const { return error_; }

 private:
  static constexpr size_t kFlushAt = 1 << 16;
  void Separator();

  std::FILE* out_;
  std::string buffer_;
  bool line_started_ = false;
  int error_ = 0;
};

}  // namespace vexa::tool
