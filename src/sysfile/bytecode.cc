#include "sysfile/bytecode.h"

#include "support/errors.h"

namespace vexa {

bool ByteCodeMemoryDecoder::NextBlock() {
  const size_t left = size_ - offset_;
  if (left == 0) return false;
  if (left < static_cast<size_t>(kKeySize)) {
    ThrowFileError(kErrTruncated,
                   "the data ends inside the control bytes of the block at "
                   "byte {}, after {} of {}",
                   offset_, left, kKeySize);
  }
  const auto* control = reinterpret_cast<const uint8_t*>(data_ + offset_);
  const size_t block_size = kKeySize + 8 * CountLiterals(control);
  if (left < block_size) {
    ThrowFileError(kErrTruncated,
                   "the data ends inside the block at byte {}, after {} of "
                   "its {} bytes",
                   offset_, left, block_size);
  }
  block_.control = control;
  block_.literal = data_ + offset_ + kKeySize;
  block_.index = 0;
  offset_ += block_size;
  return true;
}

size_t ByteCodeMemoryDecoder::DecodeCase(char* out, size_t slots) {
  size_t produced = 0;
  while (produced < slots) {
    if (block_.index == kKeySize && !NextBlock()) {
      if (produced == 0) return 0;
      ThrowFileError(kErrTruncated,
                     "the data ends inside a case, after {} of its {} values",
                     produced, slots);
    }
    produced = DecodeFromBlock<false>(block_, out, produced, slots, nullptr);
  }
  return produced;
}

}  // namespace vexa
