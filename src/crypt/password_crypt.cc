#include "crypt/password_crypt.h"

#include <algorithm>
#include <array>
#include <random>

#include "crypt/cipher.h"

namespace vexa::crypt {
namespace {

// One character hiding the bits of h (within 0x55) under noise r (within
// 0x2A). The eight noise values are tried in a random order, so the loop
// ends even for the h that few of them make printable.
char Hide(unsigned h, std::minstd_rand& random) {
  std::array<unsigned, 8> noise = {0x00, 0x02, 0x08, 0x0A, 0x20, 0x22, 0x28, 0x2A};
  std::shuffle(noise.begin(), noise.end(), random);
  for (unsigned r : noise) {
    const unsigned c = ((r >> 1) ^ h) | r;
    if (c > 0x20 && c < 0x7F && c != '\'' && c != '"') return static_cast<char>(c);
  }
  return static_cast<char>(((0x2A >> 1) ^ h) | 0x2A);  // always above 0x20
}

}  // namespace

std::string EncodePassword(std::string_view password) {
  std::minstd_rand random(std::random_device{}());
  std::string out;
  out.reserve(password.size() * 2);
  for (unsigned char c : password) {
    out += Hide((c >> 1) & 0x55u, random);
    out += Hide(c & 0x55u, random);
  }
  return out;
}

std::string DecodePassword(std::string_view encoded) {
  if (encoded.size() % 2 != 0) return {};
  std::string out(encoded.size() / 2, '\0');
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned a = static_cast<unsigned char>(encoded[2 * i]);
    const unsigned b = static_cast<unsigned char>(encoded[2 * i + 1]);
    out[i] = static_cast<char>(((((a & 0x2A) ^ (a << 1)) & 0xAA) |
                                ((((b >> 1) & 0x15) ^ b) & 0x55)) & 0xFF);
  }
  return out;
}

}  // namespace vexa::crypt
