#include "sysfile/dechunker.h"

#include <algorithm>
#include <cstring>

#include "support/errors.h"

namespace vexa {
namespace {

constexpr size_t kSegmentBytes = 256;
constexpr size_t kSegmentValueBytes = 255;
constexpr int64_t kSegmentWidth = 252;

int64_t MemorySlots(int64_t width) { return std::max<int64_t>(1, (width + 7) / 8); }

}  // namespace

int64_t FileSlotsForWidth(int64_t width) {
  if (width <= 255) return MemorySlots(width);
  return (width + 4 * (width / kSegmentWidth) + 7) / 8;
}

void SystemFileDechunker::Append(int64_t source_slot, int64_t width,
                                 int64_t nominal_slots) {
  // Entries that start with a run (the leading one) have width 0.
  if (!entries_.empty() && entries_.back().width != 0) {
    DechunkEntry& previous = entries_.back();
    previous.run_slots =
        static_cast<uint64_t>(source_slot) - previous.run_source_slot;
    running_target_ += static_cast<int64_t>(previous.run_slots);
  }
  const int64_t run_source = source_slot + FileSlotsForWidth(width);
  entries_.push_back({static_cast<uint64_t>(source_slot),
                      static_cast<uint64_t>(width),
                      static_cast<uint64_t>(running_target_),
                      static_cast<uint64_t>(run_source),
                      static_cast<uint64_t>(running_target_ + MemorySlots(width)),
                      static_cast<uint64_t>(nominal_slots - run_source)});
  running_target_ += MemorySlots(width);
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
          FileSlotsForWidth(static_cast<int64_t>(e.width)));
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
    const char* source = raw + e.source_slot * 8;
    char* to = target + e.target_slot * 8;
    char* const to_end = to + e.width;
    while (to < to_end) {
      size_t left = static_cast<size_t>(to_end - to);
      if (left > kSegmentValueBytes) {
        // Zero bytes at 252..254 are bytes held back for the next segment.
        size_t k = source[254] != 0   ? 255
                   : source[253] != 0 ? 254
                   : source[252] != 0 ? 253
                                      : 252;
        std::memcpy(to, source, k);
        to += k;
        source += kSegmentBytes;
      } else {
        std::memcpy(to, source, left);
        to = to_end;
      }
    }
    char* const run_target = target + e.run_target_slot * 8;
    const ptrdiff_t padlen = run_target - to_end;
    VEXA_ASSERT(padlen < 8);
    if (padlen > 0) std::memset(to_end, ' ', static_cast<size_t>(padlen));
    std::memcpy(run_target, raw + e.run_source_slot * 8, e.run_slots * 8);
  }
}

}  // namespace vexa
