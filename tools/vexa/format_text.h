// Print and write formats as text, such as "F8.2", "A20" or "DATE11", and
// back: the form in which `vexa info` shows them and a dictionary JSON
// gives them.
#pragma once

#include <string>
#include <string_view>

namespace vexa::tool {

// The type of a numeric variable; a string variable's type is its width.
constexpr int kNumericType = 0;

// A format as the C API's format calls take it. Type -1: none given.
struct FormatSpec {
  int type = -1;
  int width = 0;
  int decimals = 0;
  bool operator==(const FormatSpec&) const = default;
};

// The type's name and the width, then "." and the decimals where there are
// any, or always for the numeric types that show them (F, COMMA, DOLLAR,
// ...). A type without a name prints as "T<type>_<width>.<decimals>".
std::string FormatText(const FormatSpec& f);

// The inverse of FormatText: a type name (letters, without regard to case)
// or "T<type>_", a width and an optional ".<decimals>", with type up to 255,
// width up to 65535 and decimals up to 255. Checks the syntax and those
// ranges only; the library judges the rest. False, with *out unchanged, for
// any other text.
bool ParseFormat(std::string_view text, FormatSpec* out);

}  // namespace vexa::tool
