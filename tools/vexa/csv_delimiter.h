// Which field separator a CSV file uses: found from its header line when
// none is given, and, when a record's field count disagrees with the
// header's, which other separator would have fitted.
#pragma once

#include <cstdint>
#include <string>

namespace vexa::tool {

// The separators a file may use, in the order they win a tie.
inline constexpr char kDelimiters[] = {',', ';', '\t', '|'};

// "comma", "semicolon", "tab" or "pipe".
const char* DelimiterName(char delimiter);

// The separator that occurs most often in the header line outside quotes
// (a comma when none does). False when the file cannot be read (errno
// tells why).
bool DetectDelimiter(const std::string& path, char* delimiter);

// When another separator gives the header and every record up to the one
// starting on `line` the same number of fields (more than one), says so:
// " (--delimiter semicolon would fit)"; else "".
std::string DelimiterHint(const std::string& path, char current, int64_t line);

}  // namespace vexa::tool
