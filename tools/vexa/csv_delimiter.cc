#include "csv_delimiter.h"

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "csv_reader.h"

namespace vexa::tool {

const char* DelimiterName(char delimiter) {
  switch (delimiter) {
    case ';': return "semicolon";
    case '\t': return "tab";
    case '|': return "pipe";
    default: return "comma";
  }
}

bool DetectDelimiter(const std::string& path, char* delimiter) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (file == nullptr) return false;
  std::array<size_t, sizeof kDelimiters> counts{};
  bool quoted = false;
  for (int c; (c = std::getc(file.get())) != EOF;) {
    if (c == '"') quoted = !quoted;  // a doubled quote toggles twice
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    for (size_t k = 0; k < counts.size(); ++k) counts[k] += c == kDelimiters[k] ? 1 : 0;
  }
  size_t best = 0;
  for (size_t k = 1; k < counts.size(); ++k) {
    if (counts[k] > counts[best]) best = k;
  }
  *delimiter = kDelimiters[best];
  return true;
}

std::string DelimiterHint(const std::string& path, char current, int64_t line) {
  for (char d : kDelimiters) {
    if (d == current) continue;
    CsvReader csv;
    std::vector<std::string> fields;
    if (!csv.Open(path, d) || csv.Next(&fields) != CsvReader::Result::kRecord) return "";
    const size_t header = fields.size();
    bool fits = header > 1, reached = false;
    while (fits && !reached && csv.Next(&fields) == CsvReader::Result::kRecord) {
      fits = fields.size() == header;
      reached = csv.RecordLine() >= line;
    }
    if (fits && reached) return std::string(" (--delimiter ") + DelimiterName(d) + " would fit)";
  }
  return "";
}

}  // namespace vexa::tool
