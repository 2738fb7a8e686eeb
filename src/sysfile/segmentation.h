// Very long strings in the file layout: a string variable wider than 255
// bytes is written as segment variables, n = w / 252 of width 255 and, when
// w % 252 is not 0, a last one of width w % 252. Segment 0 keeps the
// variable's name; the others are named stem + base-36 counter.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dict/dictionary.h"

namespace vexa {

constexpr int kSegmentDataBytes = 252;  // value bytes a full segment counts for
constexpr int kSegmentWidth = 255;      // width of a full segment variable

// Segment variables that a string of `width` (> 255) becomes.
inline int SegmentCount(int width) {
  return width / kSegmentDataBytes + (width % kSegmentDataBytes != 0 ? 1 : 0);
}

// Splits the listed (variable index, width) very long strings of `dict` into
// segment variables, from the last to the first so that the indexes of the
// ones still to do stay put. Segment names skip every name in `used`, which
// grows by each name given. Each segment is a copy of the variable (label,
// missing values and display properties included) with width and formats A
// of the segment's width.
// REQUIRES: `strings` is in dictionary order, every width is above 255.
void SplitSegments(Dictionary& dict,
                   const std::vector<std::pair<int, int>>& strings,
                   std::unordered_set<std::string>& used);

}  // namespace vexa
