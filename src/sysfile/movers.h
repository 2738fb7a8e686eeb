// Movers turn a case from the memory layout (one contiguous string per very
// long string) into the file layout (the string split into segments).
//
// File layout of a very long string of width w, n = w / 252:
//   n full segments of 256 bytes: up to 255 value bytes, then one space;
//     in a multibyte encoding a character that would not end within the
//     255 bytes moves to the next segment and NUL bytes fill its place
//   then, when w - 252n is not 0, a last segment of (w - 252n + 7) / 8
//     slots: the rest of the value, space padded
// In all (w + 4n + 7) / 8 slots against (w + 7) / 8 in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace vexa {

// Slots that a string of `width` bytes takes in the file layout.
int64_t FileSlotsForString(int width);

class Mover {
 public:
  virtual ~Mover() = default;
  // Writes this mover's part of the file-layout case into `out` (the whole
  // output case) reading from `src` in the memory-layout case; returns the
  // read position just after the part it consumed.
  virtual const char* Move(const char* src, char* out) const = 0;
};

// Copies `slots` slots unchanged to output slot `dest_slot`.
class OrdinaryMover : public Mover {
 public:
  OrdinaryMover(size_t dest_slot, size_t slots)
      : dest_(dest_slot * 8), bytes_(slots * 8) {}
  const char* Move(const char* src, char* out) const override;

 private:
  size_t dest_;
  size_t bytes_;
};

// Splits a very long string of `width` bytes into its segments at output
// slot `dest_slot`. `multibyte` keeps characters whole across segments
// (lengths by the interface encoding).
class EStringMover : public Mover {
 public:
  EStringMover(size_t dest_slot, int width, bool multibyte);
  const char* Move(const char* src, char* out) const override;

 private:
  size_t dest_;
  int32_t width_;
  int32_t full_segments_;
  int32_t last_slots_;
  bool multibyte_;
};

// The ordered movers of one writer and the output case they fill.
class CaseLayoutMover {
 public:
  // `strings`: (first memory slot, width) of each very long string in
  // order; `memory_slots` and `file_slots` the slot counts of the two
  // layouts. Whether characters are kept whole is decided here, once: in
  // UTF-8 interface mode always, in code-page mode when the locale's
  // characters can be longer than one byte.
  CaseLayoutMover(const std::vector<std::pair<int64_t, int>>& strings,
                  size_t memory_slots, size_t file_slots);

  // Runs the movers over a memory-layout case; returns the file-layout case
  // (valid until the next call).
  const char* Move(const char* memory_case);
  size_t FileSlots() const { return file_slots_; }

 private:
  std::vector<std::unique_ptr<Mover>> movers_;
  std::unique_ptr<char[]> output_;
  size_t file_slots_;
};

}  // namespace vexa
