// SystemFileDechunker: moves a case from the file layout, where every very
// long string is split into segments, into the memory layout, where it is
// one contiguous string (layout/long_strings.h has the segments).
//
// The table holds one entry per very long string: where the string lies in
// each layout and the run of ordinary slots that follows it. An entry with
// width 0 only copies its run (the slots in front of the first string).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "layout/case_layout.h"

namespace vexa {

struct DechunkEntry {
  uint64_t source_slot;      // the string's first slot in the file layout
  uint64_t width;            // bytes of the string
  uint64_t target_slot;      // its first slot in memory
  uint64_t run_source_slot;  // the ordinary run that follows, file layout
  uint64_t run_target_slot;  // the run in memory
  uint64_t run_slots;        // length of the run
};

class SystemFileDechunker {
 public:
  // The table of a case layout as a file describes it; nothing is trusted
  // before Validate.
  explicit SystemFileDechunker(const CaseLayout& layout);

  bool Empty() const { return entries_.empty(); }
  const std::vector<DechunkEntry>& Entries() const { return entries_; }

  // Raises SystemFileException kErrBadStructure unless every entry reads inside
  // a case of `file_slots` and writes inside a case of `memory_slots`, in
  // order.
  void Validate(int64_t file_slots, int64_t memory_slots) const;

  // Copies the raw case (file layout) into the memory case. REQUIRES: the
  // table was validated for the two layouts.
  void Copy(const char* raw, char* target) const;

 private:
  std::vector<DechunkEntry> entries_;
};

}  // namespace vexa
