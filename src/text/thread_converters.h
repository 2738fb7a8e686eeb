// Per-thread clones of the current converter for the character walks that
// run on every name and label (character lengths, case mapping, compare):
// one clone decodes and one encodes, both set to stop, not substitute, at a
// character they cannot convert. They are renewed when the current converter
// changes, so a thread never pays for a clone per call.
#pragma once

#include <cstdint>

#include "text/icu_ptr.h"

namespace vexa::text {

struct ThreadConverters {
  uint64_t generation = 0;
  bool ready = false;
  // The current code page is UTF-8: the UTF-8 paths apply, no clones.
  bool utf8 = false;
  // Bytes 1 to 127 decode to the same code points (pure ASCII text needs no
  // converter).
  bool ascii_compatible = false;
  // The longest character of the code page in bytes.
  int max_char_bytes = 1;
  UConverterPtr decode;
  UConverterPtr encode;
};

// This thread's clones of the current converter, or null when ICU cannot
// provide them.
ThreadConverters* ConvertersForThisThread();

// The length of the character at the start of text[0, limit) in the current
// code page, decoded with `conv`: -1 for an invalid or cut-off sequence.
int DecodedCharLength(ThreadConverters& conv, const char* text, size_t limit);

}  // namespace vexa::text
