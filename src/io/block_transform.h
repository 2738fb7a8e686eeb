// BlockTransform: what a file holds in the place of its plain bytes, block
// by block. The file begins with a header of HeaderBytes() bytes; then each
// block of kTransformBlock plain bytes is stored as as many transformed
// bytes, every block standing alone, and the last block holds the plain
// bytes after the last whole block followed by padding: 1 to 16 bytes that
// each hold their count. A VEXA_File given a transform (posix_file.h)
// speaks plain positions and sizes; the transform itself lives with the
// cipher, outside the file layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa {

constexpr size_t kTransformBlock = 16;

class BlockTransform {
 public:
  virtual ~BlockTransform() = default;

  virtual int64_t HeaderBytes() const = 0;
  // Turn `size` bytes (a multiple of kTransformBlock) into stored form and
  // back; `in` may be `out`. Called from any thread, also at once. False
  // when the transform fails.
  virtual bool Encode(const unsigned char* in, unsigned char* out, size_t size) = 0;
  virtual bool Decode(const unsigned char* in, unsigned char* out, size_t size) = 0;
  // Overwrites plain bytes that are no longer needed, in a way the
  // compiler keeps.
  virtual void Wipe(void* data, size_t size) const = 0;
};

}  // namespace vexa
