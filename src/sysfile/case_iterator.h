// SystemFileDataSource::Iterator: delivers the cases of a system file into
// a case buffer that the caller owns, in the memory layout of the file's
// dictionary. Uncompressed data is read slot for slot; byte-code data
// (also inside the zlib form) through CompressedSystemFile. Numeric slots of a file of the other byte
// order arrive in host order; very long strings arrive merged.
//
// Contract: the iterator must not outlive its data source. Iterators of one
// file share its header (whose case count they correct at the end of the
// data) and its sparse row index; each keeps its own read window and
// positions the shared stream itself before every read, so iterators may be
// used in turn but not from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "dict/case.h"
#include "sysfile/case_window.h"
#include "sysfile/compressed_reader.h"
#include "sysfile/dechunker.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {

class SystemFileDataSource::Iterator : public VEXA_InputCaseIterator {
 public:
  // `buffer` holds the dictionary's slot count x 8 bytes and outlives the
  // iterator. Raises SystemFileException kErrBadStructure when the file's
  // layout does not fit the dictionary, or for zlib case data of a file opened
  // from a stream other than a file's.
  Iterator(SystemFileDataSource& source, char* buffer);
  ~Iterator() override;

  // Reads the requested case; false at the end of the data, and on every read
  // after it until a seek. Raises SystemFileException kErrTruncated when the
  // data ends inside a case.
  bool ReadNext() override;
  // Straight from the read window or the decoder into `dest`, unless very
  // long strings must be merged first.
  bool ReadNextInto(char* dest) override;
  // Many cases at once: whole runs of uncompressed cases copied from the
  // window, byte-code cases decoded one after another.
  size_t ReadCasesInto(char* dest, size_t count, size_t& done) override;
  // Uncompressed cases in this machine's layout and byte order stay in the
  // read window; others are copied as ReadCasesInto copies them.
  size_t ReadCasesAt(char* dest, size_t count, size_t& done, const char*& at) override;
  // Any case number >= 0; beyond the last case the next read reports the
  // end. A negative number is refused.
  bool Seek(int64_t case_number) override;
  // Uncompressed data: the case's byte offset from the start of the case
  // data. Byte-code data (also inside the zlib form): its compressed
  // position, found by walking the cases before it.
  int64_t NextCasePosition() override;
  bool SeekPosition(int64_t case_number, int64_t position) override;
  VEXA_Case& Case() override { return case_; }

  // The number of the case that the next read delivers.
  int64_t RequestedCase() const { return requested_; }

 private:
  // The common read, before any other: the next uncompressed case whole in
  // the window, in this machine's layout and byte order, copied out.
  bool CopyNext(char* dest) {
    if (copy_bytes_ == 0 || requested_ != current_ || window_->Available() < copy_bytes_) {
      return false;
    }
    std::memcpy(dest, window_->Peek(), copy_bytes_);
    window_->Advance(copy_bytes_);
    ++current_;
    ++requested_;
    return true;
  }
  bool ReadUncompressed(char* dest);
  bool ReadCompressed(char* dest);
  // Lowers the header's case count to the cases found (or sets it when it
  // was not recorded).
  void EndOfData(int64_t cases_found);

  SystemFileDataSource& source_;
  VEXA_StrBaseIO& stream_;
  const int64_t data_start_;
  const FileHeader& header_;
  VEXA_Case case_;
  const size_t file_slots_;
  const uint8_t* swap_map_ = nullptr;
  std::unique_ptr<CompressedSystemFile> compressed_;
  std::unique_ptr<CaseDataWindow> window_;  // uncompressed data
  std::unique_ptr<char[]> raw_;             // file layout, for dechunking
  std::unique_ptr<SystemFileDechunker> dechunker_;
  int64_t requested_ = 0;
  int64_t current_ = 0;
  // Bytes a case when CopyNext may copy cases straight from the window: 0
  // for compressed data, dechunked layouts and the other byte order.
  size_t copy_bytes_ = 0;
};

}  // namespace vexa
