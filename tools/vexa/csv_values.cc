#include "csv_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr double kExactIntegers = 9007199254740992.0;  // 2^53

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// `count` digits at text[at], as a number.
bool Digits(std::string_view text, size_t at, size_t count, int* out) {
  if (at + count > text.size()) return false;
  *out = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return false;
    *out = *out * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool ParseNumber(std::string_view text, double* value) {
  const char* end = text.data() + text.size();
  auto res = std::from_chars(text.data(), end, *value);
  return !text.empty() && res.ec == std::errc() && res.ptr == end;
}

const char* NumberChange(std::string_view text, double value) {
  if (!std::isfinite(value)) return "NaN or infinity taken as a number";
  std::string_view digits = text.substr(text[0] == '-' ? 1 : 0);
  if (digits.size() > 1 && digits[0] == '0' && IsDigit(digits[1])) {
    return "leading zeros dropped";
  }
  // From 2^53 up not every integer has a double: the stored value's exact
  // digits must be the ones written (a fraction of zeros aside).
  if (std::fabs(value) < kExactIntegers) return nullptr;
  if (const size_t point = digits.find('.'); point != std::string_view::npos &&
      digits.find_first_not_of('0', point + 1) == std::string_view::npos) {
    digits = digits.substr(0, point);
  }
  if (digits.find_first_not_of("0123456789") == std::string_view::npos) {
    char exact[400];
    auto res = std::to_chars(exact, exact + sizeof exact, std::fabs(value),
                             std::chars_format::fixed, 0);
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    if (res.ec != std::errc() || std::string_view(exact, res.ptr) != digits) {
      return kDigitsLost;
    }
  }
  return nullptr;
}

bool DateValue(int year, int month, int day, double* value) {
  // The library takes any day up to 31; the calendar decides here.
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      (month == 2 && day == 29 && !leap)) {
    return false;
  }
  return vexaConvertDate(day, month, year, value) == VEXA_OK;
}

bool ParseIsoDate(std::string_view text, double* value, bool* has_time) {
  int year = 0, month = 0, day = 0;
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, &year) ||
      !Digits(text, 5, 2, &month) || !Digits(text, 8, 2, &day)) {
    return false;
  }
  double date = 0;
  if (!DateValue(year, month, day, &date)) return false;
  *has_time = text.size() > 10;
  if (!*has_time) {
    *value = date;
    return true;
  }
  int hour = 0, minute = 0, second = 0;
  if (text.size() < 19 || (text[10] != 'T' && text[10] != ' ') || text[13] != ':' ||
      text[16] != ':' || !Digits(text, 11, 2, &hour) || !Digits(text, 14, 2, &minute) ||
      !Digits(text, 17, 2, &second)) {
    return false;
  }
  double fraction = 0;
  if (text.size() > 19) {
    std::string_view rest = text.substr(19);
    if (rest[0] != '.' || rest.size() < 2 ||
        rest.substr(1).find_first_not_of("0123456789") != std::string_view::npos ||
        !ParseNumber("0" + std::string(rest), &fraction)) {
      return false;
    }
  }
  double time = 0;
  if (vexaConvertTime(0, hour, minute, second + fraction, &time) != VEXA_OK) return false;
  *value = date + time;
  return true;
}

bool ParseIsoDuration(std::string_view text, double* value) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  const size_t colon = text.find(':');
  int hours = 0, minute = 0, second = 0;
  if (colon == std::string_view::npos || colon < 2 || colon > 9 ||
      !Digits(text, 0, colon, &hours) || text.size() < colon + 6 || text[colon + 3] != ':' ||
      !Digits(text, colon + 1, 2, &minute) || !Digits(text, colon + 4, 2, &second) ||
      minute > 59 || second > 59) {
    return false;
  }
  double fraction = 0;
  std::string_view rest = text.substr(colon + 6);
  if (!rest.empty() && (rest[0] != '.' || rest.size() < 2 ||
                        rest.substr(1).find_first_not_of("0123456789") != std::string_view::npos ||
                        !ParseNumber("0" + std::string(rest), &fraction))) {
    return false;
  }
  const double seconds = hours * 3600.0 + minute * 60.0 + second + fraction;
  *value = negative ? -seconds : seconds;
  return true;
}

}  // namespace vexa::tool
