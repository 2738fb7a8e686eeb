// CompressedSystemFile: reads the cases of byte-code compressed data (the
// block format is described in sysfile/bytecode.h) through a read window,
// sequentially or by case number.
//
// A compressed position is (offset of a block from the start of the case
// data) + (index of the next control byte in it, 0..7); blocks are multiples
// of 8 bytes, so the low 3 bits are the control byte index. A position
// taken when the block is used up is the next block's offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/stream.h"
#include "sysfile/bytecode.h"
#include "sysfile/case_window.h"
#include "layout/file_header.h"
#include "sysfile/sparse_row_index.h"

namespace vexa {

class CompressedSystemFile {
 public:
  // Reads cases of header.nominal_case_size slots from the case data that
  // starts at `data_start` in `stream`. The header (numeric swap map) and
  // the index are the file's and must outlive the reader.
  CompressedSystemFile(VEXA_StrBaseIO& stream, int64_t data_start,
                       const FileHeader& header, SparseRowIndex& index);

  // --- Case access ---
  // Makes the next ReadCase deliver `case_number`. REQUIRES: >= 0.
  void SetTarget(int64_t case_number) { target_ = case_number; }
  // Decodes the target case into `out` (nominal case size slots) and advances
  // the target. Returns false at the end of the data; the current case number
  // is then the number of cases found up to the target. Raises
  // SystemFileException kErrTruncated when the data ends inside a block or a
  // case; its place is "case data at offset N".
  bool ReadCase(char* out);
  // Decodes up to `count` cases from the target on, one after another into
  // `out`; `done` counts the cases delivered, also when a damaged case
  // raises. Returns the count (fewer than asked at the end of the data).
  size_t ReadCases(char* out, size_t count, size_t& done);
  // The compressed position of the target case, walking to it first (the
  // end of the data's position when the data ends before it; the target is
  // then lowered to the cases found).
  int64_t TargetPosition();
  // Makes the decoder stand before case `case_number` at `position`, a
  // compressed position that TargetPosition gave for that case of this data
  // (another gives other cases, or the end, but is read safely).
  void StartAt(int64_t case_number, int64_t position);
  // The number of the case that the decoder stands before.
  int64_t CurrentCase() const { return current_; }
  int64_t TargetCase() const { return target_; }

  // --- Decoder steps ---
  // Decodes the next case: returns the slot count, or 0 at the end of the
  // data (the end flag is then set).
  size_t DecodeCase(char* out);
  // Decodes the next `want` slots into `out`, across cases, in this
  // machine's byte order; `produced` counts them, fewer only at the end of
  // the data (the end flag is then set) or when damage raises.
  void DecodeRun(char* out, size_t want, size_t& produced);
  // Walks over the next case; false at the end of the data.
  bool SkipCase();
  int64_t Tell() const;
  // Moves the decoder to a compressed position; clears the end flag unless
  // the data ends there.
  void SeekPosition(int64_t position);
  bool AtEnd() const { return end_of_data_; }

 private:
  // Walks the decoder to the target case, recording starts on the way.
  void MoveToTarget();
  // With no block under way: decodes the blocks of eight values that the
  // window holds whole straight into out slots [produced, want), as long as
  // eight more are wanted; returns the new produced count. A block with
  // fewer values is left for LoadBlock.
  size_t DecodeWholeBlocks(char* out, size_t produced, size_t want);
  // Reads the block at the window's position into block_. False when the
  // data ends before it (no byte of it exists).
  bool NextBlock();
  // NextBlock, taking the block straight from the window when it holds a
  // block of any size.
  bool LoadBlock();
  // Reads the next block for a case of which `produced` values exist;
  // false at the end of the data before the case.
  bool NextBlockInCase(size_t produced);
  // Raises SystemFileException kErrTruncated at the offset of the block under
  // way.
  [[noreturn]] void Truncated(std::string message) const;

  int64_t data_start_;
  int64_t current_ = 0;
  int64_t target_ = 0;
  int64_t last_position_ = -1;
  SparseRowIndex& index_;
  CaseDataWindow window_;
  const uint8_t* swap_map_;  // null unless the file is byte-swapped
  size_t slots_;
  ByteCodeBlock block_;
  int64_t block_offset_ = 0;
  int64_t block_size_ = 0;
  bool end_of_data_ = false;
};

}  // namespace vexa
