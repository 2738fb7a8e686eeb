// CaseLayout: how one case lies in memory and in the file. The two differ
// only where a very long string lies: in memory one contiguous value, in
// the file its segments (layout/long_strings.h). The writer's movers and
// the reader's dechunker are both made from this value.
#pragma once

#include <cstdint>
#include <vector>

namespace vexa {

struct LongStringPlace {
  int64_t memory_slot;  // the string's first slot in memory
  int64_t file_slot;    // its first slot in the file
  int32_t width;        // above 255
};

struct CaseLayout {
  // In slot order; empty when the layouts are the same.
  std::vector<LongStringPlace> strings;
  int64_t memory_slots = 0;
  int64_t file_slots = 0;

  bool Same() const { return strings.empty(); }
};

}  // namespace vexa
