// The marks that identify a system file: "$FL2" (plain form) or "$FL3" (zlib
// form) in bytes 0-3, and for a protected file "ENCRYPTEDSAV" in bytes 8-19
// of the protected header that wraps it.
#pragma once

#include <cstddef>
#include <string_view>

namespace vexa::magic {

constexpr size_t kSize = 4;
constexpr std::string_view kPlain = "$FL2";
constexpr std::string_view kZlib = "$FL3";

constexpr size_t kEncryptedOffset = 8;
constexpr std::string_view kEncrypted = "ENCRYPTEDSAV";

// True when `head` (at least kSize bytes) begins with the plain or the zlib
// magic.
inline bool IsSystemFileMagic(const char* head) {
  const std::string_view mark(head, kSize);
  return mark == kPlain || mark == kZlib;
}

}  // namespace vexa::magic
