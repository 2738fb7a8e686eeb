// Short names: the 8-byte names that variable records carry, formed from the
// caller's names at the header commit, and the names of the segment
// variables that very long strings are split into.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/dictionary.h"

namespace vexa {

constexpr size_t kShortNameBytes = 8;
constexpr size_t kSegmentStemBytes = 5;

// The name map of `dict`: one (name, short name) pair per variable, in
// dictionary order. Short names are unique byte strings of at most 8 bytes,
// in upper case:
//  1. an upper-case name of at most 8 bytes is its own short name;
//  2. else the upper-case name cut to 8 bytes on a character boundary,
//     trailing "." and "_" stripped, when that is still free;
//  3. else V<position>_<suffix>, the suffix counting A..Z, AA, AB, ...
// Raises ErrorText kErrNoShortName naming the variable when no candidate fits.
// REQUIRES: the upper-case names of `dict` are unique (the commit checks).
std::vector<std::pair<std::string, std::string>> BuildNameMap(
    const Dictionary& dict);

// The suffix for counter value n: bijective base 26, 0 "A", 25 "Z", 26 "AA".
std::string BijectiveBase26(uint64_t n);

// n in base 36, digits 0-9 then A-Z, most significant first, "0" for 0.
std::string Base36(uint64_t n);

// The longest leading part of `upper_name` of at most 5 bytes that ends on
// a character boundary (interface encoding): the stem of segment names.
std::string SegmentStem(std::string_view upper_name);

}  // namespace vexa
