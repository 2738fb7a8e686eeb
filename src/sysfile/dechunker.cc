#include "sysfile/dechunker.h"

#include <algorithm>
#include <cstring>

#include "layout/long_strings.h"
#include "support/errors.h"

namespace vexa {

using long_strings::FileSlots;
using long_strings::MemorySlots;

SystemFileDechunker::SystemFileDechunker(const CaseLayout& layout) {
  if (layout.strings.empty()) return;
  const LongStringPlace& first = layout.strings.front();
  if (first.file_slot != 0) {
    // The slots in front of the first string are copied as they are.
    entries_.push_back({0, 0, 0, 0, 0, static_cast<uint64_t>(first.file_slot)});
  }
  for (size_t k = 0; k < layout.strings.size(); ++k) {
    const LongStringPlace& s = layout.strings[k];
    const int64_t run_end = k + 1 < layout.strings.size()
                                ? layout.strings[k + 1].file_slot
                                : layout.file_slots;
    const int64_t run_source = s.file_slot + FileSlots(s.width);
    entries_.push_back({static_cast<uint64_t>(s.file_slot),
                        static_cast<uint64_t>(s.width),
                        static_cast<uint64_t>(s.memory_slot),
                        static_cast<uint64_t>(run_source),
                        static_cast<uint64_t>(s.memory_slot + MemorySlots(s.width)),
                        static_cast<uint64_t>(run_end - run_source)});
  }
}

void SystemFileDechunker::Validate(int64_t file_slots,
                                   int64_t memory_slots) const {
  uint64_t file_end = 0;
  uint64_t memory_end = 0;
  const auto file = static_cast<uint64_t>(file_slots);
  const auto memory = static_cast<uint64_t>(memory_slots);
  // Slots are counted from 1 in the sentences, as the file counts them.
  for (const DechunkEntry& e : entries_) {
    if (e.width != 0) {
      if (e.width <= 255 || e.width > 32767) {
        ThrowFileError(kErrBadStructure,
                       "a very long string of width {} is not 256 to 32,767 "
                       "bytes wide",
                       e.width);
      }
      const auto file_width = static_cast<uint64_t>(
          FileSlots(static_cast<int64_t>(e.width)));
      if (e.source_slot < file_end ||
          e.source_slot + file_width > e.run_source_slot) {
        ThrowFileError(kErrBadStructure,
                       "the very long string at slot {} of the file overlaps "
                       "its neighbours",
                       e.source_slot + 1);
      }
      if (e.target_slot < memory_end ||
          e.target_slot * 8 + e.width > e.run_target_slot * 8) {
        ThrowFileError(kErrBadStructure,
                       "the very long string at slot {} of a case overlaps "
                       "its neighbours",
                       e.target_slot + 1);
      }
    }
    if (e.run_slots > file || e.run_source_slot > file - e.run_slots) {
      ThrowFileError(kErrBadStructure,
                     "{} slots from slot {} on reach past the {} slots of a "
                     "case in the file",
                     e.run_slots, e.run_source_slot + 1, file);
    }
    if (e.run_slots > memory || e.run_target_slot > memory - e.run_slots) {
      ThrowFileError(kErrBadStructure,
                     "{} slots from slot {} on reach past the {} slots of a "
                     "case",
                     e.run_slots, e.run_target_slot + 1, memory);
    }
    file_end = e.run_source_slot + e.run_slots;
    memory_end = e.run_target_slot + e.run_slots;
  }
}

void SystemFileDechunker::Copy(const char* raw, char* target) const {
  for (const DechunkEntry& e : entries_) {
    char* const to_end = target + e.target_slot * 8 + e.width;
    long_strings::Join(raw + e.source_slot * 8, static_cast<int>(e.width),
                       target + e.target_slot * 8);
    char* const run_target = target + e.run_target_slot * 8;
    const ptrdiff_t padlen = run_target - to_end;
    VEXA_ASSERT(padlen < 8);
    if (padlen > 0) std::memset(to_end, ' ', static_cast<size_t>(padlen));
    std::memcpy(run_target, raw + e.run_source_slot * 8, e.run_slots * 8);
  }
}

}  // namespace vexa
