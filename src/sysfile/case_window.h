// CaseDataWindow: one iterator's read window over the case data of a file.
// It refills itself from the stream in large reads, so that the decoders
// work on memory and call the stream once per window, not once per block.
// Offsets are counted from the first byte of the case data.
//
// The stream may be shared with other iterators of the same file: every
// refill seeks the stream to the window's own position first.
//
// Over a file's stream the window reads through a read-ahead worker
// (io/read_ahead.h): once two refills follow each other, the worker reads
// the next window's bytes while the caller decodes these, and the refill
// takes its buffer in exchange. The few unread bytes that a refill keeps
// go into the headroom before the new bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "io/read_ahead.h"
#include "io/stream.h"
#include "support/large_buffer.h"

namespace vexa {

class CaseDataWindow {
 public:
  static constexpr size_t kMaxCapacity = size_t{1} << 20;
  // The window of a file read ahead by a worker. Larger windows move more
  // bytes a hand-over, but a window that outgrows the processor's own
  // cache makes the caller fetch what the worker just read from memory:
  // at 4 MiB reading every case ran 5-10% slower than at 1 MiB.
  static constexpr size_t kMaxAheadCapacity = size_t{1} << 20;
  static constexpr size_t kMinCapacity = 4096;
  // The first refill after a jump reads this much; later refills double it
  // up to the capacity, so a random access does not pay for a whole window.
  static constexpr size_t kFirstFill = size_t{64} << 10;
  // Room for the bytes a refill keeps, before the bytes it reads.
  static constexpr size_t kHeadroom = 4096;

  // The window's size is the case data's size (as the stream reports it)
  // clamped to kMinCapacity..kMaxCapacity, or to kMaxAheadCapacity when
  // the stream reads ahead.
  CaseDataWindow(VEXA_StrBaseIO& stream, int64_t data_start);
  ~CaseDataWindow();
  CaseDataWindow(const CaseDataWindow&) = delete;
  CaseDataWindow& operator=(const CaseDataWindow&) = delete;

  // Offset of the next unread byte.
  int64_t Offset() const { return base_ + static_cast<int64_t>(pos_); }
  // Moves to an offset; REQUIRES offset >= 0.
  void SeekTo(int64_t offset);

  // Makes `need` bytes (at most the capacity) contiguous at Peek() when the
  // data holds that many; returns the bytes available, fewer than `need`
  // only at the end of the data. The bytes before a part of the data that
  // cannot be read stay in the window when the refill that reaches it
  // raises its failure.
  size_t Ensure(size_t need) {
    while (end_ - pos_ < need) {
      const size_t had = end_ - pos_;
      Refill();
      if (end_ - pos_ == had) break;
    }
    return end_ - pos_;
  }
  const char* Peek() const { return buffer_.get() + pos_; }
  // The bytes at Peek() now, before any refill.
  size_t Available() const { return end_ - pos_; }
  // REQUIRES: n <= the bytes available.
  void Advance(size_t n) { pos_ += n; }

  // Copies up to n bytes; fewer only at the end of the data.
  size_t Read(char* dest, size_t n);

  size_t Capacity() const { return capacity_; }

 private:
  // Keeps the unread bytes, moves them to the front and fills the rest.
  void Refill();
  // The same through the read-ahead worker; false (changing nothing) when
  // more bytes are kept than the headroom takes.
  bool RefillAhead();

  VEXA_StrBaseIO& stream_;
  const int64_t data_start_;
  size_t capacity_;
  size_t fill_size_;
  LargeBuffer buffer_;
  int64_t base_ = 0;  // offset of buffer_[0]
  size_t begin_ = 0;  // the first valid byte
  size_t pos_ = 0;
  size_t end_ = 0;
  std::unique_ptr<ReadAhead> ahead_;
  int64_t ahead_end_ = -1;  // file position after the last fetch
  // The file read, whose plain bytes (a protected file's) the buffer is
  // wiped of when it goes.
  RefPtr<VEXA_File> file_;
};

}  // namespace vexa
