// StatCrypt: a whole file through the cipher. Every block of ECB stands
// alone, so the file is cut into pieces that the cores encrypt or decrypt
// side by side, each written at its own place; only the last piece carries
// the padding. The bytes written are those of one pass from start to end.
#pragma once

#include <cstdint>
#include <string_view>

#include "io/posix_file.h"

namespace vexa::crypt {

class StatCrypt {
 public:
  StatCrypt() = delete;

  // Encrypts all of `source` into `destination` from position `at`; the
  // number of plain bytes encrypted, 0 on failure (an empty source too).
  // Raises the files' ErrorText when a read or write fails.
  static int64_t Encrypt(std::string_view password, VEXA_File& source, VEXA_File& destination,
                         int64_t at, int threads);

  // Decrypts `source` from position `from` to its end into `destination`,
  // which ends up holding exactly the plain bytes; their number, or 0 when
  // the password is wrong or the ciphertext damaged: a length that is not a
  // whole number of blocks, a first block that is no plain file's start,
  // bad padding. Raises the files' ErrorText when a read or write fails.
  static int64_t Decrypt(std::string_view password, VEXA_File& source, int64_t from,
                         VEXA_File& destination, int threads);
};

}  // namespace vexa::crypt
