// The header of a protected file (integers little-endian):
//   0   8  length of the block that follows: 28
//   8  12  "ENCRYPTEDSAV"
//  20   4  21
//  24  12  zero bytes
// then the ciphertext of the whole plain file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "io/stream.h"

namespace vexa::crypt {

constexpr size_t kProtectedHeaderBytes = 36;

// The 36 bytes every protected file begins with.
std::string ProtectedHeader();

// Reads the header at the stream's position: exactly 8 bytes holding 28,
// then 28 bytes beginning with the magic. False otherwise.
bool ReadProtectedHeader(VEXA_StrBaseIO& stream);

// Whether decrypted bytes are a plain file: the first 80 bytes are there,
// begin with "$FL2" or "$FL3", and the layout code at offset 64 is 1, 2 or
// 3 in either byte order. A wrong password that passed the padding check
// shows here. The stream's position is kept.
bool LooksLikePlainFile(VEXA_StrBaseIO& plain);

}  // namespace vexa::crypt
