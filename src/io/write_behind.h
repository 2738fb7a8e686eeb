// WriteBehind: the write-behind worker of a writer's file stream. The
// stream hands over each full buffer and goes on filling a spare one while
// the worker writes the full ones to the file, in the order they came, up
// to kDepth of them, so that a write that takes longer than usual does not
// hold the caller up.
//
// Hand-off: two semaphores, free (initial count kDepth) and work-to-do,
// over a ring of buffers; a handed-over buffer and its position belong to
// the worker from Submit until it posts free. A failed write is kept and
// raised at the next Submit or Wait, so it reaches the caller at its next
// hand-off or flush.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>

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
  // an earlier write (ErrorText kErrWriteFailed); nothing is handed over then.
  void Submit(LargeBuffer& buffer, size_t size, int64_t position);
  // Returns once the write under way is done; raises its failure.
  void Wait();

 private:
  static constexpr int kDepth = 2;

  struct Pending {
    LargeBuffer buffer;
    size_t size = 0;
    int64_t position = 0;
  };

  void Loop();
  // The failure kept from the worker, taken.
  std::exception_ptr TakeFailure();

  RefPtr<VEXA_File> file_;
  const size_t capacity_;
  sfSemaphore free_{kDepth};
  sfSemaphore work_to_do_{0};
  Pending ring_[kDepth];
  int caller_next_ = 0;  // the caller's: the slot it hands over next
  int worker_next_ = 0;  // the worker's: the slot it writes next
  bool stop_ = false;
  std::mutex failure_lock_;
  std::exception_ptr failure_;

  // Last, so that its thread is joined first.
  std::unique_ptr<sfThreadPool> pool_;
};

}  // namespace vexa
