// A variable's user-missing values, as `vexa cat --missing` asks of each
// value: up to three numbers, a range, or a range and one number for a
// numeric variable; up to three texts for a string.
#pragma once

#include <string>
#include <string_view>

namespace vexa::tool {

class MissingValues {
 public:
  // Reads the variable's missing values from the open file; none when it
  // has none or they cannot be read.
  void Load(int handle, const std::string& name, bool numeric);

  bool Numeric(double value) const;
  // A string value is missing when, without trailing blanks, it equals one
  // of the texts (stored in 8 bytes and read back without their blanks).
  bool Text(std::string_view value) const;

 private:
  int code_ = 0;  // as the C API gives it: 0 to 3, -2 a range, -3 a range and a value
  double values_[3] = {0, 0, 0};
  std::string texts_[3];
};

}  // namespace vexa::tool
