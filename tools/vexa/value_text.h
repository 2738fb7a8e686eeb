// Numbers of a file as text for people: date and time values in ISO 8601,
// and values in their print format.
#pragma once

#include <string>

#include "format_text.h"

namespace vexa::tool {

// What kind of time a print format shows.
enum class TimeKind { kNone, kDate, kDateTime, kDuration };
TimeKind TimeKindOf(int format_type);

// "2024-03-01", "2024-03-01T10:20:30" (with the fraction of a second when
// there is one) or, for a duration, "10:20:30" (hours may pass 24, a
// negative one begins with "-"). "" for a value that is no such time.
std::string IsoText(double value, TimeKind kind);

// The value in its print format without padding: F and E as fixed
// decimals, COMMA and DOLLAR with thousands separators (DOLLAR after "$"),
// PCT followed by "%", times in ISO 8601, any other format as F.
std::string FormattedText(double value, const FormatSpec& format);

}  // namespace vexa::tool
