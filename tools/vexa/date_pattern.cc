#include "date_pattern.h"

#include <array>
#include <cctype>

#include "csv_values.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// From `min` to `max` digits at text[*at], as a number.
bool TakeDigits(std::string_view text, size_t* at, size_t min, size_t max, int* out) {
  size_t n = 0;
  *out = 0;
  while (n < max && *at + n < text.size() && IsDigit(text[*at + n])) {
    *out = *out * 10 + (text[*at + n] - '0');
    ++n;
  }
  *at += n;
  return n >= min;
}

// A month's name or its first three letters, any case.
bool TakeMonth(std::string_view text, size_t* at, int* month) {
  for (size_t m = 0; m < kMonths.size(); ++m) {
    for (size_t length : {kMonths[m].size(), size_t{3}}) {
      if (*at + length > text.size()) continue;
      bool same = true;
      for (size_t i = 0; i < length && same; ++i) {
        same = std::tolower(static_cast<unsigned char>(text[*at + i])) == kMonths[m][i];
      }
      if (same) {
        *at += length;
        *month = static_cast<int>(m) + 1;
        return true;
      }
    }
  }
  return false;
}

// ".123" after the seconds, when there: its value and digits.
void TakeFraction(std::string_view text, size_t* at, double* fraction, int* decimals) {
  if (*at + 1 >= text.size() || text[*at] != '.' || !IsDigit(text[*at + 1])) return;
  const size_t start = *at;
  ++*at;
  while (*at < text.size() && IsDigit(text[*at])) ++*at;
  *decimals = static_cast<int>(*at - start - 1);
  ParseNumber("0" + std::string(text.substr(start, *at - start)), fraction);
}

}  // namespace

std::string DatePattern::Parse(std::string_view text, bool with_time) {
  std::string spelt;
  bool year = false, month = false, day = false, hour = false, minute = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      spelt += text[i];
      continue;
    }
    if (++i == text.size()) return "a pattern cannot end in %";
    switch (text[i]) {
      case 'F': spelt += "%Y-%m-%d", year = month = day = true; continue;
      case 'T': spelt += "%H:%M:%S", hour = minute = true; continue;
      case 'Y': case 'y': year = true; break;
      case 'm': case 'b': case 'B': month = true; break;
      case 'd': case 'e': day = true; break;
      case 'H': hour = true; break;
      case 'M': minute = true; break;
      case 'S': case '%': break;
      default: return "%" + std::string(1, text[i]) + " is not a directive of a pattern";
    }
    spelt += '%';
    spelt += text[i];
  }
  if (!year || !month || !day) return "a pattern needs a year, a month and a day";
  if (with_time && (!hour || !minute)) return "a date-time pattern needs an hour and a minute";
  if (!with_time && hour) return "a date pattern has no time (--datetime-format)";
  text_ = std::move(spelt);
  with_time_ = with_time;
  return "";
}

bool DatePattern::Read(std::string_view text, double* value, int* decimals) const {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  double fraction = 0;
  *decimals = 0;
  size_t at = 0;
  for (size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] != '%' || text_[++i] == '%') {
      if (at >= text.size() || text[at] != text_[i]) return false;
      ++at;
      continue;
    }
    bool ok = true;
    switch (text_[i]) {
      case 'Y': ok = TakeDigits(text, &at, 4, 4, &year); break;
      case 'y':
        ok = TakeDigits(text, &at, 2, 2, &year);
        year += year < 69 ? 2000 : 1900;
        break;
      case 'm': ok = TakeDigits(text, &at, 1, 2, &month); break;
      case 'b': case 'B': ok = TakeMonth(text, &at, &month); break;
      case 'd': case 'e': ok = TakeDigits(text, &at, 1, 2, &day); break;
      case 'H': ok = TakeDigits(text, &at, 1, 2, &hour) && hour < 24; break;
      case 'M': ok = TakeDigits(text, &at, 2, 2, &minute) && minute < 60; break;
      default:  // 'S'
        ok = TakeDigits(text, &at, 2, 2, &second) && second < 60;
        TakeFraction(text, &at, &fraction, decimals);
        break;
    }
    if (!ok) return false;
  }
  double date = 0, time = 0;
  if (at != text.size() || !DateValue(year, month, day, &date)) return false;
  if (with_time_ && vexaConvertTime(0, hour, minute, second + fraction, &time) != VEXA_OK) {
    return false;
  }
  *value = date + time;
  return true;
}

}  // namespace vexa::tool
