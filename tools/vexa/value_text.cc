#include "value_text.h"

#include <cmath>
#include <cstdio>

#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int kComma = 3, kDollar = 4, kPct = 31;

// "10:20:30" or "10:20:30.5"; the hours as many as there are.
std::string ClockText(double seconds) {
  const double whole = std::floor(seconds);
  const long long s = static_cast<long long>(whole);
  char text[48];
  int n = std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  std::string out(text, static_cast<size_t>(n));
  const double fraction = seconds - whole;
  if (fraction > 0) {
    n = std::snprintf(text, sizeof text, "%.6f", fraction);  // "0.500000"
    std::string digits(text + 1, static_cast<size_t>(n - 1));
    while (digits.back() == '0') digits.pop_back();
    if (digits != ".") out += digits;
  }
  return out;
}

// Groups the whole part of a fixed-point text in thousands.
std::string WithThousands(const std::string& fixed) {
  const size_t start = fixed[0] == '-' ? 1 : 0;
  const size_t point = std::min(fixed.find('.'), fixed.size());
  std::string out = fixed.substr(0, start);
  for (size_t i = start; i < point; ++i) {
    out += fixed[i];
    if (i + 1 < point && (point - i - 1) % 3 == 0) out += ',';
  }
  return out + fixed.substr(point);
}

}  // namespace

TimeKind TimeKindOf(int type) {
  switch (type) {
    case 20: case 23: case 24: case 28: case 29: case 30: case 38: case 39:
      return TimeKind::kDate;
    case 22: case 86:
      return TimeKind::kDateTime;
    case 21: case 25: case 85:
      return TimeKind::kDuration;
    default:
      return TimeKind::kNone;
  }
}

std::string IsoText(double value, TimeKind kind) {
  if (kind == TimeKind::kNone || !std::isfinite(value)) return "";
  if (kind == TimeKind::kDuration) {
    return value < 0 ? "-" + ClockText(-value) : ClockText(value);
  }
  int day = 0, month = 0, year = 0;
  if (value < 0 || vexaConvertVEXADate(&day, &month, &year, value) != VEXA_OK) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  if (kind == TimeKind::kDate) return text;
  return std::string(text) + "T" + ClockText(std::fmod(value, kSecondsPerDay));
}

std::string FormattedText(double value, const FormatSpec& format) {
  const TimeKind kind = TimeKindOf(format.type);
  if (kind != TimeKind::kNone) {
    std::string iso = IsoText(value, kind);
    if (!iso.empty()) return iso;
  }
  char text[400];
  const int n = std::snprintf(text, sizeof text, "%.*f", std::min(format.decimals, 16), value);
  std::string fixed(text, static_cast<size_t>(std::max(n, 0)));
  switch (format.type) {
    case kComma:
      return WithThousands(fixed);
    case kDollar:
      return value < 0 ? "-$" + WithThousands(fixed.substr(1)) : "$" + WithThousands(fixed);
    case kPct:
      return fixed + "%";
    default:
      return fixed;
  }
}

}  // namespace vexa::tool
