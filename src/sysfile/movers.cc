#include "sysfile/movers.h"

#include <cstring>

#include "layout/long_strings.h"
#include "support/errors.h"
#include "text/interface_encoding.h"

namespace vexa {

CaseLayoutMover::CaseLayoutMover(const CaseLayout& layout)
    : output_(new char[static_cast<size_t>(layout.file_slots) * 8]),
      file_slots_(static_cast<size_t>(layout.file_slots)),
      whole_chars_(text::CharactersMayBeMultibyte()) {
  int64_t m = 0;  // memory slot
  int64_t f = 0;  // file slot
  for (const LongStringPlace& s : layout.strings) {
    VEXA_ASSERT(s.memory_slot >= m && s.file_slot - f == s.memory_slot - m);
    if (m < s.memory_slot) {
      steps_.push_back({static_cast<size_t>(m) * 8, static_cast<size_t>(f) * 8,
                        static_cast<size_t>(s.memory_slot - m) * 8, 0});
    }
    steps_.push_back({static_cast<size_t>(s.memory_slot) * 8,
                      static_cast<size_t>(s.file_slot) * 8, 0, s.width});
    m = s.memory_slot + long_strings::MemorySlots(s.width);
    f = s.file_slot + long_strings::FileSlots(s.width);
  }
  VEXA_ASSERT(m <= layout.memory_slots && f <= layout.file_slots &&
              layout.file_slots - f == layout.memory_slots - m);
  if (f < layout.file_slots) {
    steps_.push_back({static_cast<size_t>(m) * 8, static_cast<size_t>(f) * 8,
                      static_cast<size_t>(layout.file_slots - f) * 8, 0});
  }
}

const char* CaseLayoutMover::Move(const char* memory_case) {
  char* out = output_.get();
  for (const Step& step : steps_) {
    if (step.bytes > 0) {
      std::memcpy(out + step.to, memory_case + step.from, step.bytes);
    } else {
      long_strings::Split(memory_case + step.from, step.width, whole_chars_,
                          out + step.to);
    }
  }
  return out;
}

}  // namespace vexa
