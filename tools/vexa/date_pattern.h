// Dates and date-times written in a layout of the user's, given as a
// strftime-style pattern such as "%d.%m.%Y" or "%m/%d/%Y %H:%M".
#pragma once

#include <string>
#include <string_view>

namespace vexa::tool {

// A checked pattern. Directives: %Y (four digits), %y (two: 69 to 99 are
// 1969 to 1999, the rest 2000 to 2068), %m, %d, %e, %H, %M, %S (one or two
// digits; %S may carry a fraction such as ".25"), %b and %B (an English
// month name or its first three letters, any case), %F (%Y-%m-%d), %T
// (%H:%M:%S) and %%; any other character stands for itself.
class DatePattern {
 public:
  // Checks `text`: a date pattern needs a year, a month and a day and no
  // time; a date-time pattern also an hour and a minute. Empty when it is
  // valid, else why not.
  std::string Parse(std::string_view text, bool with_time);

  // Reads the whole of `text` as a date value (seconds since 14 Oct 1582).
  // False when it does not follow the pattern or names a day the calendar
  // lacks. *decimals: the digits of a fraction of a second.
  bool Read(std::string_view text, double* value, int* decimals) const;

  bool with_time() const { return with_time_; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;  // with %F and %T spelt out
  bool with_time_ = false;
};

}  // namespace vexa::tool
