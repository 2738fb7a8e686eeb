// Helpers for the extension record tests: integers encoded in either byte
// order for record contents, and the file error a composed file raises.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "support/open_bytes.h"

namespace vexa::testing {

inline std::string Int32Bytes(int32_t v, bool big_endian) {
  uint32_t u = static_cast<uint32_t>(v);
  if (big_endian) u = __builtin_bswap32(u);
  std::string out(4, '\0');
  std::memcpy(out.data(), &u, 4);
  return out;
}

inline std::string Int64Bytes(int64_t v, bool big_endian) {
  uint64_t u = static_cast<uint64_t>(v);
  if (big_endian) u = __builtin_bswap64(u);
  std::string out(8, '\0');
  std::memcpy(out.data(), &u, 8);
  return out;
}

}  // namespace vexa::testing
