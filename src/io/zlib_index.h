// The zlib form's header and block index. From the case start
// position on, a zlib file holds a 24-byte header (its own position, the
// trailer's position and the trailer's length), the blocks (each one zlib
// stream of at most kBlockSize bytes of case data), and the trailer: a
// descriptor record (-100, 0, block size, block count) and one 24-byte
// record per block (logical position, file position, inflated size,
// compressed size). Integers are in the file's byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/file_stream.h"

namespace vexa {

constexpr size_t kZlibHeaderSize = 24;
constexpr size_t kZlibRecordSize = 24;
constexpr int64_t kZlibDescriptorPosition = -100;

struct ZlibHeader {
  int64_t header_offset = 0;
  int64_t trailer_offset = 0;
  int64_t trailer_length = 0;
};

// Decodes the 24 header bytes, reversing each field when `swap`.
ZlibHeader ParseZlibHeader(const char* bytes, bool swap);
std::string SerializeZlibHeader(const ZlibHeader& header);

struct ZlibBlock {
  int64_t original_pos;    // logical position of the block's first byte
  int64_t translated_pos;  // file position of its zlib stream
  int32_t original_size;   // bytes it inflates to
  int32_t translated_size; // bytes of its zlib stream
  int64_t OriginalEnd() const { return original_pos + original_size; }
  int64_t TranslatedEnd() const { return translated_pos + translated_size; }
};

// The largest zlib stream a block may have: zlib's bound for a whole block,
// which the writer's level 1 never exceeds.
size_t MaxCompressedBlock();

class ZlibBlockIndex {
 public:
  // Decodes and checks a trailer read at `trailer_offset` for case data
  // starting at `case_start`. Raises SystemFileException kErrBadStructure
  // unless the descriptor is (-100, any, 1..kBlockSize, the record count), the
  // blocks follow each other without gaps both in the case data (from
  // case_start) and in the file (from case_start + 24), each inflates to
  // 1..block size bytes from 1..MaxCompressedBlock() bytes, and the last ends
  // at or before the trailer.
  void Parse(const char* bytes, size_t size, bool swap, int64_t case_start,
             int64_t trailer_offset);
  // Descriptor and records, little-endian.
  std::string Serialize() const;

  int64_t Count() const { return static_cast<int64_t>(blocks_.size()); }
  const ZlibBlock& At(int64_t i) const { return blocks_[static_cast<size_t>(i)]; }
  int32_t BlockSize() const { return block_size_; }
  // The block that holds logical position p, or -1: a binary search, made
  // once per block that a reader moves into.
  int64_t Find(int64_t position) const;
  void Append(const ZlibBlock& block) { blocks_.push_back(block); }
  // Keeps the first `count` blocks.
  void Truncate(int64_t count);
  // The end of the case data: the last block's end, else `case_start`.
  int64_t LogicalEnd(int64_t case_start) const;
  // The sum of the compressed sizes.
  int64_t CompressedBytes() const;

 private:
  int32_t block_size_ = static_cast<int32_t>(kBlockSize);
  std::vector<ZlibBlock> blocks_;
};

}  // namespace vexa
