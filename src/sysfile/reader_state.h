// The dictionary reader's bookkeeping while it reads the records of one
// file, handed to the extension handlers together with the data source.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/file_header.h"

namespace vexa {

struct ReaderState {
  explicit ReaderState(FileHeader& file_header) : header(file_header) {}

  FileHeader& header;
  // One entry per slot of the file layout: the variable's index in its first
  // slot, -1 in each further slot of a long string. Built once, at the first
  // record that is not a variable record.
  std::vector<int32_t> slot_map;
  bool slot_map_built = false;

  // The variable whose first slot is the 1-based slot number, or -1 when the
  // number is outside the map or names a continuation slot.
  int32_t VariableAtSlot(int64_t slot_number) const {
    if (slot_number < 1 || slot_number > static_cast<int64_t>(slot_map.size())) {
      return -1;
    }
    return slot_map[static_cast<size_t>(slot_number - 1)];
  }
};

}  // namespace vexa
