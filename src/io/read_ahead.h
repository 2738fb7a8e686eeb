// ReadAhead: the read-ahead worker of a reader (the Part's
// multiThreadForFilestr). While the caller works on the bytes it fetched,
// one worker thread reads the bytes that follow them into a spare buffer;
// the next fetch of those bytes takes the spare buffer in exchange for the
// caller's, so no byte is copied.
//
// Hand-off: two semaphores, prefetch-done and work-to-do; at any time the
// spare buffer and the request belong to the caller or to the worker. A
// read that fails on the worker is kept and raised by the fetch of the
// bytes it was for; a fetch of other bytes reads them on the caller's
// thread. The worker starts with the first prefetch and ends with the
// object.
#pragma once

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
  // `position` into buffer + headroom, exchanging `buffer` for the spare
  // one when that holds them. Returns the bytes read, fewer only at the end
  // of the file. When `then_prefetch`, the worker goes on to read the
  // `size` bytes that follow. Raises ErrorText 1003 when the file cannot
  // be read.
  size_t Fetch(LargeBuffer& buffer, size_t size, int64_t position,
               bool then_prefetch);

 private:
  // The worker's loop: one prefetch per work-to-do, until the stop flag.
  void Loop();

  RefPtr<VEXA_File> file_;
  const size_t capacity_;
  const size_t headroom_;
  sfSemaphore prefetch_done_{0};
  sfSemaphore work_to_do_{0};
  bool pending_ = false;  // a prefetch was asked for and not taken (caller's)

  // Owned by whoever holds the hand-off.
  LargeBuffer spare_;
  int64_t spare_position_ = -1;
  size_t spare_size_ = 0;  // asked for
  size_t spare_count_ = 0; // read
  std::exception_ptr spare_failure_;
  bool stop_ = false;
  bool no_worker_ = false;  // a worker could not be started

  // Last, so that its thread is joined first.
  std::unique_ptr<sfThreadPool> pool_;
};

}  // namespace vexa
