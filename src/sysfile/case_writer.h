// CaseWriter: writes cases in the file layout at the end of a file's case
// data, as raw 8-byte slots or as byte-code command blocks (format in
// sysfile/bytecode.h). Compressed cases are encoded by ByteCodeEncoder,
// which builds whole blocks in the stream's buffer (or in runs of 64 KiB that
// it hands to the stream), so a case may
// end inside a block that stays in memory until the next case fills it or
// Finish completes it with filler codes 0 (never 252).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "io/stream.h"
#include "sysfile/bytecode.h"
#include "sysfile/sparse_row_index.h"

namespace vexa {

class CaseWriter : private ByteCodeSink {
 public:
  // Cases of `slots` slots go to `stream` from its current position, which
  // is `data_offset` bytes after the start of the case data. Compressed
  // cases are numbered from `first_case` (the cases already in the file)
  // and their starts recorded in `index`.
  CaseWriter(VEXA_StrBaseIO& stream, size_t slots, bool compressed,
             SparseRowIndex& index, int64_t first_case, int64_t data_offset);
  CaseWriter(const CaseWriter&) = delete;
  CaseWriter& operator=(const CaseWriter&) = delete;

  // Continues a block of earlier compressed data instead of starting a new
  // one: `values` are the slot values of its used control bytes. The
  // stream stands at the block's start (the data offset given above).
  // Returns false, changing nothing, when these values would not encode to
  // exactly `control`: the block then stays as it is in the file.
  bool ResumeBlock(const std::string& values, const uint8_t* control);
  // Whether ResumeBlock would take these values.
  static bool CanResume(const std::string& values, const uint8_t* control);

  // Writes one case of `slots` slots in the file layout. Raises
  // SystemFileException kErrRawCaseWrite when the stream takes fewer bytes than
  // the case (or block) holds; the case is then not counted.
  void Write(const char* file_case);
  // Writes `count` cases that lie one after another, as Write does each.
  void WriteMany(const char* file_cases, size_t count);
  // Completes and writes a partial block and flushes the stream. Once
  // nothing more is written since, it does nothing.
  void Finish();

  uint64_t CasesWritten() const { return written_; }

 private:
  // Slots of the runs of cases that WriteMany encodes at a time.
  static constexpr size_t kRunSlots = 256;
  // The encoder builds its blocks in the stream's buffer where the stream
  // lends it.
  char* BlockSpace(size_t least, size_t* room) override;
  void CommitBlocks(size_t size) override;
  void WriteBlocks(const char* blocks, size_t size) override;
  void WriteBytes(const char* bytes, size_t size);

  VEXA_StrBaseIO& stream_;
  size_t slots_;
  bool compressed_;
  SparseRowIndex& index_;
  ByteCodeEncoder encoder_;
  int64_t case_number_;
  int64_t block_offset_;  // offset in the case data after the blocks sent
  bool dirty_ = false;
  uint64_t written_ = 0;
};

}  // namespace vexa
