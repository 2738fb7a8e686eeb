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


namespace vexa::crypt {

constexpr size_t kProtectedHeaderBytes = 36;

// The 36 bytes every protected file begins with.
std::string ProtectedHeader();

// Whether the first bytes of a file are the header: 8 bytes holding 28,
// then 28 bytes beginning with the magic.
bool IsProtectedHeader(std::string_view head);

// Whether the first bytes of a decrypted file (as many as there are, up to
// 80) are a plain file's: 80 bytes that begin with "$FL2" or "$FL3" and
// hold the layout code 1, 2 or 3 in either byte order at offset 64. A wrong
// password that passed the padding check shows here.
bool LooksLikePlainFile(std::string_view head);

}  // namespace vexa::crypt
