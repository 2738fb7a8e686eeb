#include "field_rules.h"

#include <algorithm>
#include <utility>

#include "csv_values.h"

namespace vexa::tool {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Tokens that often stand for a missing value, for the hint when one is not
// among the --na tokens.
constexpr std::string_view kLikelyNa[] = {"NA",   "N/A",  "n/a",  "#N/A", "NULL", "null", "-",
                                          ".",    "?",    "none", "None", "missing", "--", "#NV"};

// Layouts that dates often come in, tried for the hint.
constexpr std::string_view kLikelyDates[] = {"%m/%d/%Y", "%d/%m/%Y", "%d.%m.%Y",
                                             "%Y/%m/%d", "%d-%m-%Y", "%m/%d/%y"};

bool Reads(std::string_view text, char decimal, char thousands) {
  FieldRules rules;
  rules.decimal = decimal;
  rules.thousands = thousands;
  NumberReader reader(rules);
  double value = 0;
  Mark mark = Mark::kNone;
  const char* change = nullptr;
  return reader.Read(text, &value, &mark, &change);
}

std::string DateHint(std::string_view text) {
  for (std::string_view layout : kLikelyDates) {
    for (std::string_view time : {"", " %H:%M:%S", " %H:%M"}) {
      DatePattern p;
      const std::string pattern = std::string(layout) + std::string(time);
      double value = 0;
      int decimals = 0;
      if (p.Parse(pattern, !time.empty()).empty() && p.Read(text, &value, &decimals)) {
        return (time.empty() ? "--date-format '" : "--datetime-format '") + pattern + "'?";
      }
    }
  }
  return "";
}

}  // namespace

FieldRules::FieldRules() { SetNaTokens(kDefaultNaTokens); }

void FieldRules::SetNaTokens(std::string_view list) {
  na.clear();
  while (!list.empty()) {
    const size_t comma = std::min(list.find(','), list.size());
    if (comma > 0) na.emplace_back(list.substr(0, comma));
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
}

bool FieldRules::IsNa(std::string_view text) const {
  return std::find(na.begin(), na.end(), text) != na.end();
}

bool FieldRules::NaBeforeValues() const {
  NumberReader reader(*this);
  return std::any_of(na.begin(), na.end(), [&](const std::string& token) {
    double value = 0;
    Mark mark = Mark::kNone;
    const char* change = nullptr;
    bool has_time = false;
    int decimals = 0;
    return reader.Read(token, &value, &mark, &change) ||
           ParseIsoDate(token, &value, &has_time) ||
           std::any_of(dates.begin(), dates.end(),
                       [&](const DatePattern& p) { return p.Read(token, &value, &decimals); });
  });
}

bool NumberReader::Normalize(std::string_view text) {
  scratch_.clear();
  size_t i = 0;
  const size_t n = text.size();
  if (i < n && text[i] == '-') scratch_ += text[i++];
  const size_t first = i;
  size_t group = 0;
  bool grouped = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      scratch_ += c;
      ++group;
    } else if (c == thousands_ && thousands_ != 0) {
      // 1 to 3 digits (not a lone 0) before the first separator, 3 after each.
      if (group == 0 || (grouped ? group != 3 : group > 3 || text[first] == '0')) return false;
      grouped = true;
      group = 0;
    } else {
      break;
    }
  }
  if (grouped && group != 3) return false;
  if (i < n && text[i] == decimal_) {
    scratch_ += '.';
    ++i;
  } else if (i < n && (text[i] == '.' || text[i] == ',')) {
    return false;  // the other mark
  }
  scratch_.append(text.substr(i));
  return true;
}

bool NumberReader::HasSeparator(std::string_view text) const {
  for (char c : text) {
    if (c == '.' || c == ',' || c == thousands_) return true;
  }
  return false;
}

bool NumberReader::ReadBare(std::string_view text, double* value, const char** change) {
  // Without a mark or a separator a number reads as it is written.
  if (plain_ || !HasSeparator(text)) {
    bare_ = text;
  } else if (Normalize(text)) {
    bare_ = scratch_;
  } else {
    return false;
  }
  if (!ParseNumber(bare_, value)) return false;
  *change = NumberChange(bare_, *value);
  return true;
}

bool NumberReader::Read(std::string_view text, double* value, Mark* mark, const char** change) {
  *mark = Mark::kNone;
  if (ReadBare(text, value, change)) return true;
  if (text.size() > 1 && text.back() == '%') {
    *mark = Mark::kPercent;
    return ReadBare(text.substr(0, text.size() - 1), value, change);
  }
  const bool minus = !text.empty() && text[0] == '-';
  if (text.size() > 1 + (minus ? 1 : 0) && text[minus ? 1 : 0] == '$') {
    *mark = Mark::kDollar;
    if (!minus) return ReadBare(text.substr(1), value, change);
    signed_.assign("-").append(text.substr(2));
    return ReadBare(signed_, value, change);
  }
  return false;
}

std::string NumberHint(std::string_view text, const FieldRules& rules) {
  for (auto [separator, name] : {std::pair{',', "comma"}, std::pair{'.', "point"},
                                 std::pair{' ', "space"}, std::pair{'\'', "apostrophe"}}) {
    if (separator != rules.decimal && separator != rules.thousands &&
        Reads(text, rules.decimal, separator)) {
      return std::string("--thousands ") + name + "?";
    }
  }
  if (rules.decimal == '.' && (Reads(text, ',', rules.thousands == ',' ? 0 : rules.thousands) ||
                               (rules.thousands == 0 && Reads(text, ',', '.')))) {
    return "--decimal comma?";
  }
  if (rules.decimal == ',' && Reads(text, '.', rules.thousands == '.' ? 0 : rules.thousands)) {
    return "--decimal point?";
  }
  if (std::find(std::begin(kLikelyNa), std::end(kLikelyNa), text) != std::end(kLikelyNa)) {
    return "--na?";
  }
  return DateHint(text);
}

}  // namespace vexa::tool
