// zcmpsFilestr: the stream of a zlib file's case data. Above it
// the case reader and writer see the case data at logical positions, as if
// it were not compressed: logical position p is byte p - case start of the
// case data. Beneath it lies the file, shared with the plain stream that
// reads or writes the dictionary part; the blocks are read and written by
// the workers of ZlibBlockReader and ZlibBlockWriter through the file's
// positional I/O.
//
// Lifecycle: BeginReading (then, to add cases, ReopenForAppending) or
// BeginWriting; then reads or writes; then Close, which for a file written
// writes the last block, the block index and the header. A stream that is
// destroyed while writing without Close leaves a file with neither.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "io/posix_file.h"
#include "io/stream.h"
#include "io/zlib_index.h"
#include "support/ref_counted.h"

namespace vexa {

class ZlibBlockReader;
class ZlibBlockWriter;

class zcmpsFilestr : public VEXA_StrBaseIO {
 public:
  // Over `file` (open for reading, or for reading and writing); `workers`
  // worker threads, or WorkerCount() when negative.
  explicit zcmpsFilestr(RefPtr<VEXA_File> file, int workers = -1);
  // Joins the workers; raises nothing.
  ~zcmpsFilestr() override;

  // The workers of each new zlib stream: the hardware's threads, unless
  // set (tests and benchmarks compare counts; 0 is the caller's thread
  // alone). A negative count goes back to the hardware's.
  static int WorkerCount();
  static void SetWorkerCount(int workers);

  // Reads and checks the zlib header at `case_start` and the block index.
  // Raises SystemFileException kErrBadStructure (kErrTruncated when the file
  // ends inside the header or the index): a header that is not at `case_start`,
  // an index that is not inside the file or not consistent
  // (ZlibBlockIndex::Parse).
  void BeginReading(int64_t case_start, bool swap);
  // Writing from `case_start` on; the header is written at Close.
  void BeginWriting(int64_t case_start);
  // After BeginReading: the case data ends at logical position `end`
  // (case start .. the end of the data) and cases are added from there.
  // The block that holds `end` leaves the index and its first bytes go
  // back into the block buffer, so that the file comes out as if all its
  // data had been written at once: in blocks of the size its index gives.
  void ReopenForAppending(int64_t end);
  // Writing: hands over the last block, waits for the workers, writes the index
  // after the last block, the header at the case start, and cuts the file after
  // the index. Raises a worker's failure (ErrorText kErrWriteFailed). Reading:
  // lets the workers go. Once only.
  void Close() override;

  // Reading only: delivers fewer bytes than asked at the end of the data,
  // and before a block that cannot be read when bytes before it were
  // delivered: a read that starts at such a block raises as
  // ZlibBlockReader::Load.
  size_t Read(void* dest, size_t size) override;
  // Writing only, at the logical end of the data (writing is sequential).
  // Raises a worker's failure at each hand-off of a full block.
  size_t Write(const void* src, size_t size) override;
  // whence SEEK_SET absolute, SEEK_CUR from the position, SEEK_END from the
  // logical end.
  int64_t Seek(int64_t offset, int whence) override;
  int64_t Tell() const override { return position_; }
  // The logical end of the data.
  int64_t Size() override;
  // Nothing: blocks go out when full or at Close, so that every block but
  // the last is whole.
  void Flush() override {}

  ZlibBlockMap ZlibBlocks() const override { return {&index_, case_start_}; }

 private:
  enum class Mode { kNone, kReading, kWriting, kClosed };

  RefPtr<VEXA_File> file_;
  int workers_;
  Mode mode_ = Mode::kNone;
  int64_t case_start_ = 0;
  int64_t position_ = 0;
  ZlibBlockIndex index_;

  // Reading: the block loaded, -1 when none.
  std::unique_ptr<ZlibBlockReader> reader_;
  int64_t block_ = -1;
  const char* block_data_ = nullptr;

  // Writing: the block buffer from the writer, its logical position and
  // fill, and the size of a whole block (at most kBlockSize).
  std::unique_ptr<ZlibBlockWriter> writer_;
  size_t block_size_ = kBlockSize;
  char* buffer_ = nullptr;
  int64_t buffer_pos_ = 0;
  size_t filled_ = 0;
};

}  // namespace vexa
