// Streaming CSV input (RFC 4180): fields separated by commas (or another
// delimiter), records ended by LF, CRLF or a lone CR; blank lines are
// skipped; a field in double quotes may hold commas, line
// breaks and doubled quotes. A UTF-8 byte order mark at the start is
// skipped. Memory stays flat in the number of records: one record at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vexa::tool {

class CsvReader {
 public:
  enum class Result { kRecord, kEnd, kError };

  CsvReader() = default;
  ~CsvReader();
  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // Opens the file; false when it cannot be opened (errno tells why).
  bool Open(const std::string& path, char delimiter = ',');
  // Reads the next record. A final line break does not start an empty
  // record. On kError, Error() describes the fault.
  Result Next(std::vector<std::string>* fields);

  // The line on which the last record returned began (counting from 1).
  int64_t RecordLine() const { return record_line_; }
  const std::string& Error() const { return error_; }

 private:
  static constexpr int kEof = -1;
  static constexpr size_t kBufferBytes = 1 << 16;

  int Get();
  int Peek();
  bool Fill();
  // Consumes the LF of a CRLF after a CR that was just read.
  void EndOfLine(int c);

  std::FILE* file_ = nullptr;
  char delimiter_ = ',';
  std::vector<char> buffer_ = std::vector<char>(kBufferBytes);
  size_t at_ = 0;
  size_t end_ = 0;
  bool read_error_ = false;
  int64_t line_ = 1;
  int64_t record_line_ = 0;
  std::string error_;
};

}  // namespace vexa::tool
