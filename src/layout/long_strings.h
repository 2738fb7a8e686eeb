// Very long strings: how a string wider than 255 bytes lies in a case of the
// file. It is written as a run of segment variables, `Count(w)` of them:
// w / 252 full segments of width 255 and, when w % 252 is not 0, a last one
// of width w % 252. In the case data a full segment takes 256 bytes: up to
// 255 bytes of the value, then one space. A writer that keeps characters
// whole leaves the bytes of a character that would not end within the 255
// as NUL bytes (at most 3, at positions 252 to 254) and starts the next
// segment with it. The last segment holds the rest of the value, blank
// padded to its slots.
//
// In all a string of width w takes (w + 4 * (w / 252) + 7) / 8 slots in the
// file against max(1, (w + 7) / 8) in memory, where it is one contiguous
// value. Split and Join move one value between the two layouts; the case
// movers of the writer and the dechunker of the reader run them for each
// very long string of a case.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa::long_strings {

constexpr int kSegmentWidth = 255;     // width of a full segment variable
constexpr int kWidthPerSegment = 252;  // of the string's width, per segment
constexpr int kMinWidth = 256;         // narrower strings are not split
constexpr int kMaxWidth = 32767;

// Segment variables of a string of `width` (> 255).
inline int SegmentCount(int width) {
  return width / kWidthPerSegment + (width % kWidthPerSegment != 0 ? 1 : 0);
}
// Width of segment `k` (0-based) of a string of `width`.
inline int SegmentWidth(int width, int k) {
  return k < width / kWidthPerSegment ? kSegmentWidth
                                      : width % kWidthPerSegment;
}
// Slots of a string of `width` in memory, and in the file (segmented when
// wider than 255).
inline int64_t MemorySlots(int64_t width) {
  return width <= 8 ? 1 : (width + 7) / 8;
}
inline int64_t FileSlots(int64_t width) {
  if (width < kMinWidth) return MemorySlots(width);
  return (width + 4 * (width / kWidthPerSegment) + 7) / 8;
}

// Writes the value of `width` bytes at `value` in file layout at `out`
// (FileSlots(width) x 8 bytes). `whole_chars` keeps characters whole across
// segments (lengths by the interface encoding).
void Split(const char* value, int width, bool whole_chars, char* out);

// Reads a string of `width` bytes in file layout at `file` into `value`
// (width bytes; the caller pads the value's last slot).
void Join(const char* file, int width, char* value);

}  // namespace vexa::long_strings
