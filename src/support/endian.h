// Byte order helpers. Files are written little-endian (the host's order on
// every platform we build for); files from the other byte order are swapped
// field by field as they are read.
#pragma once

#include <cstdint>
#include <cstring>

namespace vexa {

inline uint32_t Swap32(uint32_t v) { return __builtin_bswap32(v); }
inline uint64_t Swap64(uint64_t v) { return __builtin_bswap64(v); }

inline int32_t LoadI32(const void* p, bool swap) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if (swap) v = Swap32(v);
  return static_cast<int32_t>(v);
}

inline uint64_t LoadU64(const void* p, bool swap) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return swap ? Swap64(v) : v;
}

inline double LoadF64(const void* p, bool swap) {
  uint64_t v = LoadU64(p, swap);
  double d;
  std::memcpy(&d, &v, 8);
  return d;
}

inline void StoreI32(void* p, int32_t v) { std::memcpy(p, &v, 4); }
inline void StoreF64(void* p, double v) { std::memcpy(p, &v, 8); }

// Reverses every 8-byte unit of a buffer in place.
inline void Swap8InPlace(void* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  v = Swap64(v);
  std::memcpy(p, &v, 8);
}

}  // namespace vexa
