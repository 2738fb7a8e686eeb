// How the fields of a CSV file are read as values beyond plain numbers and
// ISO 8601 dates: the decimal mark and the thousands separator of the
// numbers, a percent sign or a dollar sign around them, the tokens that
// stand for a missing value, and the user's date and date-time patterns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "date_pattern.h"

namespace vexa::tool {

// The mark a number was written with: "12%" or "$99.00".
enum class Mark : unsigned char { kNone, kPercent, kDollar };

// The tokens read as missing when no --na is given.
inline constexpr const char* kDefaultNaTokens = "NA,N/A,n/a,#N/A,NULL,null,-,.";

struct FieldRules {
  char decimal = '.';
  char thousands = 0;  // none
  std::vector<std::string> na;
  std::vector<DatePattern> dates;  // --date-format and --datetime-format, in order

  FieldRules();
  // Sets the tokens from a comma-separated list ("" for none).
  void SetNaTokens(std::string_view list);
  bool IsNa(std::string_view text) const;
  // True when some token would also read as a number or a date, so that
  // tokens must be looked for before values.
  bool NaBeforeValues() const;
};

// Reads numbers under the rules: a '-' maybe, the whole digits (grouped in
// threes by the thousands separator when there is one: "1.234.567"), the
// decimal mark and the decimals, an exponent; a '%' after the number or a
// '$' before it (after the '-'). Keeps a scratch buffer, so one reader per
// loop.
class NumberReader {
 public:
  explicit NumberReader(const FieldRules& rules)
      : decimal_(rules.decimal), thousands_(rules.thousands),
        plain_(rules.decimal == '.' && rules.thousands == 0) {}

  // True when `text` is a number; *mark says which mark it had, and
  // *change what storing it loses (NumberChange), or nullptr.
  bool Read(std::string_view text, double* value, Mark* mark, const char** change);
  // The last number read as from_chars read it: without marks, grouping
  // or a decimal comma. Valid until the next Read.
  std::string_view bare() const { return bare_; }

 private:
  bool ReadBare(std::string_view text, double* value, const char** change);
  // Whether the text holds a character that Normalize rewrites.
  bool HasSeparator(std::string_view text) const;
  // The text in the form std::from_chars reads; false when the grouping
  // or the marks are wrong.
  bool Normalize(std::string_view text);

  char decimal_;
  char thousands_;
  bool plain_;
  std::string scratch_;
  std::string signed_;  // "-$5" as "-5"
  std::string_view bare_;
};

// Why a field that is no number might be one under other options, as a
// hint such as "--decimal comma?", "--thousands point?", "--na?" or
// "--date-format '%d.%m.%Y'?"; or "".
std::string NumberHint(std::string_view text, const FieldRules& rules);

}  // namespace vexa::tool
