// SystemFileDechunker: moves a case from the file layout, where every very
// long string (width > 255) is split into segments, into the memory layout,
// where it is one contiguous string.
//
// File layout of a very long string of width w, with n = w / 252:
//   n full segments of 256 bytes: up to 255 value bytes, then one space.
//     A writer that does not split a multibyte character holds back up to 3
//     bytes of a segment; they are zero bytes at positions 252..254 and the
//     value continues at the start of the next segment.
//   then, when w % 252 != 0, a last segment of the remaining file width.
//   In all (w + 4n + 7) / 8 slots; in memory max(1, ceil(w / 8)) slots.
//
// The table holds one entry per very long string: where the string lies in
// each layout and the run of ordinary slots that follows it. An entry with
// width 0 only copies its run (the slots in front of the first string).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vexa {

struct DechunkEntry {
  uint64_t source_slot;      // the string's first slot in the file layout
  uint64_t width;            // bytes of the string
  uint64_t target_slot;      // its first slot in memory
  uint64_t run_source_slot;  // the ordinary run that follows, file layout
  uint64_t run_target_slot;  // the run in memory
  uint64_t run_slots;        // length of the run
};

// Slots that a string of `width` bytes takes in the file layout (segmented
// when wider than 255).
int64_t FileSlotsForWidth(int64_t width);

class SystemFileDechunker {
 public:
  // Builds the table from the (index of the first segment variable, full
  // width) pairs of the very long strings in dictionary order, the first
  // slot of every variable as the file lays them out (index -> slot), and
  // the file layout's slot count (the nominal case size).
  template <typename FirstSlotFn>
  void Build(const std::vector<std::pair<int, int>>& strings,
             FirstSlotFn first_slot, int64_t nominal_slots);
  void Clear() { entries_.clear(); }

  bool Empty() const { return entries_.empty(); }
  const std::vector<DechunkEntry>& Entries() const { return entries_; }

  // Raises SystemFileException 1204 unless every entry reads inside a case
  // of `file_slots` and writes inside a case of `memory_slots`, in order.
  void Validate(int64_t file_slots, int64_t memory_slots) const;

  // Copies the raw case (file layout) into the memory case. REQUIRES: the
  // table was validated for the two layouts.
  void Copy(const char* raw, char* target) const;

 private:
  void Append(int64_t source_slot, int64_t width, int64_t nominal_slots);

  std::vector<DechunkEntry> entries_;
  int64_t running_target_ = 0;
};

template <typename FirstSlotFn>
void SystemFileDechunker::Build(const std::vector<std::pair<int, int>>& strings,
                                FirstSlotFn first_slot, int64_t nominal_slots) {
  entries_.clear();
  running_target_ = 0;
  if (strings.empty()) return;
  const int64_t first = first_slot(strings.front().first);
  if (strings.front().first != 0) {
    // The slots in front of the first string are copied as they are.
    entries_.push_back({0, 0, 0, 0, 0, static_cast<uint64_t>(first)});
    running_target_ = first;
  }
  for (const auto& [index, width] : strings) {
    Append(first_slot(index), width, nominal_slots);
  }
}

}  // namespace vexa
