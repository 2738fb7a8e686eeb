// Texts handed out into callers' buffers.
#pragma once

#include <cstring>
#include <string_view>

#include "text/interface_encoding.h"

namespace vexa {

// Copies `text` into a caller's buffer of `size` bytes (size >= 1): the
// longest run of whole characters of the interface encoding within size - 1
// bytes, then NUL bytes to the end of the buffer. Returns the bytes copied.
inline int CopyWholeCharacters(std::string_view text, char* buffer, int size) {
  const size_t room = static_cast<size_t>(size);
  const size_t n = text::WholeCharPrefix(text.data(), text.size(), room - 1);
  std::memcpy(buffer, text.data(), n);
  std::memset(buffer + n, '\0', room - n);
  return static_cast<int>(n);
}

}  // namespace vexa
