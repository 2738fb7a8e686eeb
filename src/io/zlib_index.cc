#include "io/zlib_index.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "support/endian.h"
#include "support/errors.h"

namespace vexa {
namespace {

int64_t LoadI64(const char* p, bool swap) {
  return static_cast<int64_t>(LoadU64(p, swap));
}

void StoreI64(char* p, int64_t v) { std::memcpy(p, &v, 8); }

// Checks the trailer's size and its descriptor record; returns the number
// of block records that follow the descriptor.
int64_t CheckDescriptor(const char* bytes, size_t size, bool swap) {
  if (size < kZlibRecordSize || size % kZlibRecordSize != 0) {
    ThrowFileError(kErrBadStructure,
                   "the zlib block index is {} bytes long, not a whole number "
                   "of 24-byte records",
                   size);
  }
  const int64_t descriptor_pos = LoadI64(bytes, swap);
  const int32_t block_size = LoadI32(bytes + 16, swap);
  const int32_t count = LoadI32(bytes + 20, swap);
  const int64_t records = static_cast<int64_t>(size / kZlibRecordSize) - 1;
  if (descriptor_pos != kZlibDescriptorPosition) {
    ThrowFileError(kErrBadStructure,
                   "the zlib block index begins with {} where -100 marks its "
                   "descriptor",
                   descriptor_pos);
  }
  if (block_size <= 0 || block_size > static_cast<int32_t>(kBlockSize)) {
    ThrowFileError(kErrBadStructure,
                   "the zlib block size is {}, not 1 to {}", block_size,
                   kBlockSize);
  }
  if (count != records) {
    ThrowFileError(kErrBadStructure,
                   "the zlib block index announces {} blocks and holds {}",
                   count, records);
  }
  return records;
}

// Checks block `i`: it starts where the blocks before it end (`logical` in
// the case data, `physical` in the file), its sizes are plausible for the
// descriptor's block size, and it ends at or before the trailer.
void CheckBlock(const ZlibBlock& b, int64_t i, int64_t logical,
                int64_t physical, int32_t block_size, int64_t trailer_offset) {
  if (b.original_pos != logical || b.translated_pos != physical) {
    ThrowFileError(kErrBadStructure,
                   "zlib block {} is at case data position {} and file "
                   "position {} where the blocks before it end at {} and {}",
                   i, b.original_pos, b.translated_pos, logical, physical);
  }
  const auto max_compressed = static_cast<int64_t>(MaxCompressedBlock());
  if (b.original_size <= 0 || b.original_size > block_size ||
      b.translated_size <= 0 || b.translated_size > max_compressed) {
    ThrowFileError(kErrBadStructure,
                   "zlib block {} inflates from {} bytes to {}, where a "
                   "block holds 1 to {} bytes in at most {}",
                   i, b.translated_size, b.original_size, block_size,
                   max_compressed);
  }
  if (b.TranslatedEnd() > trailer_offset) {
    ThrowFileError(kErrBadStructure,
                   "zlib block {} ends at file position {}, beyond the "
                   "block index at {}",
                   i, b.TranslatedEnd(), trailer_offset);
  }
}

}  // namespace

size_t MaxCompressedBlock() { return compressBound(kBlockSize); }

ZlibHeader ParseZlibHeader(const char* bytes, bool swap) {
  return {LoadI64(bytes, swap), LoadI64(bytes + 8, swap), LoadI64(bytes + 16, swap)};
}

std::string SerializeZlibHeader(const ZlibHeader& header) {
  std::string out(kZlibHeaderSize, '\0');
  StoreI64(out.data(), header.header_offset);
  StoreI64(out.data() + 8, header.trailer_offset);
  StoreI64(out.data() + 16, header.trailer_length);
  return out;
}

void ZlibBlockIndex::Parse(const char* bytes, size_t size, bool swap,
                           int64_t case_start, int64_t trailer_offset) {
  blocks_.clear();
  const int64_t records = CheckDescriptor(bytes, size, swap);
  block_size_ = LoadI32(bytes + 16, swap);
  blocks_.reserve(static_cast<size_t>(records));
  int64_t logical = case_start;
  int64_t physical = case_start + static_cast<int64_t>(kZlibHeaderSize);
  for (int64_t i = 0; i < records; ++i) {
    const char* r = bytes + (i + 1) * static_cast<int64_t>(kZlibRecordSize);
    const ZlibBlock b{LoadI64(r, swap), LoadI64(r + 8, swap),
                      LoadI32(r + 16, swap), LoadI32(r + 20, swap)};
    CheckBlock(b, i, logical, physical, block_size_, trailer_offset);
    logical = b.OriginalEnd();
    physical = b.TranslatedEnd();
    blocks_.push_back(b);
  }
}

std::string ZlibBlockIndex::Serialize() const {
  std::string out((blocks_.size() + 1) * kZlibRecordSize, '\0');
  char* p = out.data();
  StoreI64(p, kZlibDescriptorPosition);
  StoreI64(p + 8, 0);
  StoreI32(p + 16, block_size_);
  StoreI32(p + 20, static_cast<int32_t>(blocks_.size()));
  for (const ZlibBlock& b : blocks_) {
    p += kZlibRecordSize;
    StoreI64(p, b.original_pos);
    StoreI64(p + 8, b.translated_pos);
    StoreI32(p + 16, b.original_size);
    StoreI32(p + 20, b.translated_size);
  }
  return out;
}

int64_t ZlibBlockIndex::Find(int64_t position) const {
  if (blocks_.empty() || position < blocks_.front().original_pos ||
      position >= blocks_.back().OriginalEnd()) {
    return -1;
  }
  // The blocks follow each other without gaps: the last one that starts at
  // or before the position holds it.
  auto after = std::upper_bound(
      blocks_.begin(), blocks_.end(), position,
      [](int64_t p, const ZlibBlock& b) { return p < b.original_pos; });
  return static_cast<int64_t>(after - blocks_.begin()) - 1;
}

void ZlibBlockIndex::Truncate(int64_t count) {
  if (count < Count()) blocks_.resize(static_cast<size_t>(count));
}

int64_t ZlibBlockIndex::LogicalEnd(int64_t case_start) const {
  return blocks_.empty() ? case_start : blocks_.back().OriginalEnd();
}

int64_t ZlibBlockIndex::CompressedBytes() const {
  int64_t total = 0;
  for (const ZlibBlock& b : blocks_) total += b.translated_size;
  return total;
}

}  // namespace vexa
