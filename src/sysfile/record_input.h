// RecordInput: the dictionary reader's view of the stream, with the byte
// order of the file and the length checks that keep a damaged length field
// from making the reader allocate or loop beyond the end of the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "io/stream.h"
#include "support/endian.h"

namespace vexa {

using int32 = int32_t;

class RecordInput {
 public:
  RecordInput(VEXA_StrBaseIO& stream, bool swap)
      : stream_(stream), swap_(swap) {}

  VEXA_StrBaseIO& Stream() { return stream_; }
  bool Swap() const { return swap_; }

  size_t Read(void* dest, size_t size) { return stream_.Read(dest, size); }

  // An int32 in the file's byte order, for an uncounted read: a field cut off
  // by the end of the file reads as 0, whatever its first bytes say, so that
  // nothing is made of them and the next record type fails with kErrTruncated.
  int32 ReadInt32() {
    char bytes[4];
    if (stream_.Read(bytes, sizeof bytes) != sizeof bytes) return 0;
    return LoadI32(bytes, swap_);
  }
  int32 Fix(int32 v) const {
    return swap_ ? static_cast<int32>(Swap32(static_cast<uint32_t>(v))) : v;
  }

  // True when `size` bytes remain. Otherwise, for the uncounted reads of
  // variable and document records, consumes the rest of the stream so that
  // the next record type fails with kErrTruncated, and returns false.
  bool FitsOrExhaust(int64_t size) {
    if (size <= stream_.Remaining()) return true;
    stream_.Seek(0, SEEK_END);
    return false;
  }
  bool Fits(int64_t size) { return size <= stream_.Remaining(); }

 private:
  VEXA_StrBaseIO& stream_;
  bool swap_;
};

}  // namespace vexa
