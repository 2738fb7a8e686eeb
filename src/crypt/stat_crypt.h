// StatCrypt: a whole stream through the cipher, in pieces: the rest of the
// source from its position to the end, into the destination at its
// position.
#pragma once

#include <cstdint>
#include <string_view>

#include "io/stream.h"

namespace vexa::crypt {

// The number of plain bytes encrypted, 0 on failure.
int64_t EncryptStream(std::string_view password, VEXA_StrBaseIO& source,
                      VEXA_StrBaseIO& destination);
// The number of plain bytes produced, 0 on failure (a wrong password
// usually fails at the padding of the last block).
int64_t DecryptStream(std::string_view password, VEXA_StrBaseIO& source,
                      VEXA_StrBaseIO& destination);

}  // namespace vexa::crypt
