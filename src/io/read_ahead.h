// ReadAhead: the read-ahead worker of a reader. While the caller works on
// the bytes it fetched, one worker thread reads the ranges that follow them
// into spare buffers, kDepth ranges ahead, one after another without
// waiting for the caller in between; the next fetch of those bytes takes a
// spare buffer in exchange for the caller's, so no byte is copied.
//
// Hand-off: two semaphores, work-to-do (a range was queued) and
// prefetch-done (the worker read a range), over a ring of spares that the
// worker takes in the order they were queued. Each queued range is claimed
// once, by the worker or by the caller: a fetch that finds the worker
// still reading the bytes it wants reads the range after them itself
// rather than wait, so that both cores read; a range that nobody has begun
// is read by the fetch that wants it, or dropped by one that does not. A
// read that fails is kept and raised by the fetch of the bytes it was for;
// a fetch of other bytes drops what was queued and reads on the caller's
// thread. The worker starts with the first prefetch and ends with the
// object.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

#include "io/posix_file.h"
#include "support/ref_counted.h"
#include "threads/sf_sync.h"
#include "threads/sf_thread.h"
#include "support/large_buffer.h"

namespace vexa {

class ReadAhead {
 public:
  // The process-wide read-ahead flag: it starts set and has no
  // setter in the interface; tests and benchmarks turn it off to compare.
  static bool Enabled();
  static void SetEnabled(bool enabled);

  // Fetches read into buffers of `capacity` bytes, at offset `headroom`
  // (the bytes before it are the caller's).
  ReadAhead(RefPtr<VEXA_File> file, size_t capacity, size_t headroom);
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  // Stops the worker and waits for it.
  ~ReadAhead();

  // Reads `size` bytes (at most capacity - headroom) at file position
  // `position` into buffer + headroom, exchanging `buffer` for the spare one
  // when that holds them. Returns the bytes read, fewer only at the end of the
  // file. When `then_prefetch`, the worker goes on to read the `size` bytes
  // that follow. Raises ErrorText kErrReadFailed when the file cannot be read.
  size_t Fetch(LargeBuffer& buffer, size_t size, int64_t position,
               bool then_prefetch);

 private:
  // The worker's loop: one queued range per work-to-do, read unless the
  // caller claimed it, until the stop flag.
  void Loop();

  // Three: the worker keeps reading while the caller, which finds it busy
  // on the range it wants, reads the one after (a protected file's worker
  // spends as long deciphering a range as reading it, and with two it was
  // left idle).
  static constexpr int kDepth = 3;

  struct Spare {
    LargeBuffer buffer;
    int64_t position = -1;
    size_t size = 0;   // asked for
    size_t count = 0;  // read
    std::exception_ptr failure;
    // The number of the range queued in it, times two, plus one once it is
    // claimed: the worker and the caller claim a range by exchanging it.
    std::atomic<int64_t> claim{-1};
    int64_t number = -1;          // the caller's copy
    bool read_by_caller = false;  // the caller's
  };

  // Queues the range of `size` bytes at `position` (REQUIRES a free spare).
  void Queue(int64_t position, size_t size);
  // Takes the oldest queued range off the queue. When `wanted`, its bytes
  // are read: by the caller if the worker has not begun them, else by the
  // worker while the caller reads the range after them. Otherwise a range
  // the worker has not begun is dropped.
  Spare& TakeOldest(bool wanted);
  // Claims range `number` in its spare; false when it was claimed already
  // (or the spare holds another range by now).
  static bool Claim(Spare& s, int64_t number);
  // Reads a claimed range, keeping any failure.
  void ReadRange(Spare& s);

  RefPtr<VEXA_File> file_;
  const size_t capacity_;
  const size_t headroom_;
  sfSemaphore prefetch_done_{0};
  sfSemaphore work_to_do_{0};

  Spare spares_[kDepth];
  // The caller's: the oldest queued spare, how many are queued, where the
  // last queued range ends, the number of the next range queued.
  int head_ = 0;
  int queued_ = 0;
  int64_t queued_end_ = -1;
  int64_t next_number_ = 0;
  // The worker's: the number of the range it takes next.
  int64_t worker_next_ = 0;
  std::atomic<bool> stop_{false};
  bool no_worker_ = false;  // a worker could not be started

  // Last, so that its thread is joined first.
  std::unique_ptr<sfThreadPool> pool_;
};

}  // namespace vexa
