// Print and write formats. A format is {type, width, decimals}; in files and
// in the variable it is packed into 32 bits:
//   bits 24-31  high byte of the width (0 for formats other than string)
//   bits 16-23  format type
//   bits  8-15  width, low byte
//   bits  0-7   decimals; for type 1 (string) the high byte of the width
#pragma once

#include <cstdint>

namespace vexa {

struct Format {
  uint16_t width = 0;
  uint8_t type = 0;
  uint8_t decimals = 0;
  bool operator==(const Format&) const = default;
};

// The type of a numeric variable; a string variable's type is its width.
constexpr int kNumericType = 0;

constexpr int kFormatString = 1;   // A
constexpr int kFormatHexString = 2;  // AHEX
constexpr int kFormatNumeric = 5;  // F
constexpr uint32_t kDefaultNumericFormat = 0x50802;  // F8.2

uint32_t PackFormat(Format f);
// Unpacks as the reader and the accessors do: for type 1 the width is
// decimals-byte * 256 + width-byte and the decimals 0; otherwise a width byte
// above 40 is taken as 40 unless the type is 2.
Format UnpackFormat(uint32_t packed);

// The default format of a variable of the given type (0 numeric, else width).
uint32_t DefaultFormat(int var_type);

// True for the format types that the setters accept (1-12, 15-17, 20-39,
// 85, 86).
bool IsKnownFormatType(int type);

// The validity table: is the format valid for a variable of type var_type
// (0 numeric, else the string width), as a write format when `write` is set?
// Taken on the numbers as a caller gives them, before they are narrowed into
// a Format (negative or oversized values are invalid, never wrapped into
// range).
bool IsValidFormatValues(int type, int width, int decimals, int var_type,
                         bool write);

}  // namespace vexa
