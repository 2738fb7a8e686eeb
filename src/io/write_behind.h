// WriteBehind: the write-behind worker of a writer's file stream. The
// stream hands over each full buffer and goes on filling a spare one while
// the worker writes the full one to the file.
//
// Hand-off: two semaphores, written (initial count 1) and work-to-do; the
// handed-over buffer and its position belong to the worker from Submit
// until it posts written. A failed write is kept and raised at the next
// Submit or Wait, so it reaches the caller at its next hand-off or flush.
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

class WriteBehind {
 public:
  // Buffers of `capacity` bytes. Raises sfThreadException when the worker
  // cannot be started.
  WriteBehind(RefPtr<VEXA_File> file, size_t capacity);
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  // Waits for the write under way and stops the worker; raises nothing.
  ~WriteBehind();

  // Hands the first `size` bytes of `buffer` over, to be written at
  // `position`, and gives a free buffer in exchange. Raises the failure of
  // an earlier write (ErrorText 1002); nothing is handed over then.
  void Submit(LargeBuffer& buffer, size_t size, int64_t position);
  // Returns once the write under way is done; raises its failure.
  void Wait();

 private:
  void Loop();

  RefPtr<VEXA_File> file_;
  sfSemaphore written_{1};
  sfSemaphore work_to_do_{0};
  // The worker's while a write is under way.
  LargeBuffer buffer_;
  size_t size_ = 0;
  int64_t position_ = 0;
  bool stop_ = false;
  std::exception_ptr failure_;

  // Last, so that its thread is joined first.
  std::unique_ptr<sfThreadPool> pool_;
};

}  // namespace vexa
