// Reading the text of a CSV field as a value: numbers, and ISO 8601 dates
// and date-times as the date values (seconds since 14 Oct 1582) the library
// stores; and what a number read from text may have lost.
#pragma once

#include <string_view>

namespace vexa::tool {

// True when `text` is a whole number as std::from_chars reads a double
// (so "nan", "inf", "1e5" and "-0.5" are numbers, " 1" and "+1" are not).
bool ParseNumber(std::string_view text, double* value);

// What storing `value`, read from `text` by ParseNumber, changes, or
// nullptr when nothing: leading zeros dropped ("01234"), digits lost in an
// integer from 2^53 up that has no double of its own ("9007199254740993"),
// NaN or an infinity taken from text.
const char* NumberChange(std::string_view text, double value);
// The change of an integer whose digits are lost: one array, so that a
// change is told by its address in every file (copies of a string literal
// need not share one).
inline constexpr char kDigitsLost[] = "integer beyond 2^53 stored with digits lost";

// The date value of a day the calendar has (from 14 Oct 1582); false for
// any other.
bool DateValue(int year, int month, int day, double* value);

// "YYYY-MM-DD", or with "THH:MM:SS" (a blank for the T, and a fraction of
// a second, allowed) as a date value; *has_time says which. False for any
// other text and for dates the calendar lacks.
bool ParseIsoDate(std::string_view text, double* value, bool* has_time);

// "HH:MM:SS" with a fraction of a second allowed, hours from 0 up, and a
// "-" in front for a negative span, as a time value in seconds: how `cat`
// prints a variable with a time format.
bool ParseIsoDuration(std::string_view text, double* value);

}  // namespace vexa::tool
