// Movers turn a case from the memory layout (one contiguous value per very
// long string) into the file layout (the string split into segments, as
// layout/long_strings.h lays them out).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "layout/case_layout.h"

namespace vexa {

class CaseLayoutMover {
 public:
  // Whether characters are kept whole across segments is decided here,
  // once: in UTF-8 interface mode always, in code-page mode when the
  // current code page's characters can be longer than one byte.
  explicit CaseLayoutMover(const CaseLayout& layout);

  // Moves a memory-layout case into the file layout; returns the file-layout
  // case (valid until the next call).
  const char* Move(const char* memory_case);
  size_t FileSlots() const { return file_slots_; }

 private:
  // One step: copy a run of ordinary slots, or split one string.
  struct Step {
    size_t from;     // byte offset in the memory case
    size_t to;       // byte offset in the file case
    size_t bytes;    // of a run; 0 for a string
    int32_t width;   // of a string
  };
  std::vector<Step> steps_;
  std::unique_ptr<char[]> output_;
  size_t file_slots_;
  bool whole_chars_;
};

}  // namespace vexa
