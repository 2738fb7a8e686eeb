// ZlibBlockWriter: the compress-and-write worker of the zlib stream (the
// Part's PreIOThread_W_C), on as many worker threads as asked for. The
// caller fills one block buffer at a time and hands it over; the workers
// deflate the blocks in parallel (each block one zlib stream at level 1)
// and write them to the file strictly in the order they were handed over,
// each right after the one before, recording each in the block index. The
// bytes written are the same for every number of workers.
//
// Hand-off: a buffer is free, being filled by the caller, or handed over;
// the caller waits for a free buffer (there are workers + 1), so at most
// that many blocks are in memory. A worker's failure (a write that fails)
// is kept, the blocks after it are dropped, and the caller gets it raised
// at its next hand-off or at Finish. With 0 workers the caller's thread
// compresses and writes each block as it hands it over.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "io/posix_file.h"
#include "io/zlib_index.h"
#include "support/ref_counted.h"
#include "threads/sf_sync.h"
#include "threads/sf_thread.h"

namespace vexa {

class ZlibBlockWriter {
 public:
  // Blocks go to `file` from file position `next_translated` on and are
  // appended to `index`, which the caller leaves alone until Finish. When
  // the workers cannot be started, the caller's thread does their work.
  ZlibBlockWriter(RefPtr<VEXA_File> file, ZlibBlockIndex& index,
                  int64_t next_translated, int workers);
  ZlibBlockWriter(const ZlibBlockWriter&) = delete;
  ZlibBlockWriter& operator=(const ZlibBlockWriter&) = delete;
  // Waits for the blocks handed over and joins the workers; raises nothing.
  ~ZlibBlockWriter();

  // The buffer of kBlockSize bytes to fill next; waits for one to be free.
  char* Buffer();
  // Hands the buffer over: `size` (1..kBlockSize) bytes of case data at
  // logical position `position`. Raises the first failure of a worker.
  void Submit(size_t size, int64_t position);
  // Waits until every block handed over is written and the workers have
  // ended; returns the file position after the last block. Raises the
  // first failure of a worker.
  int64_t Finish();

 private:
  struct Slot;
  // Deflates the slot's block and writes it in its turn (on a worker, or
  // on the caller's thread with no workers).
  void Process(Slot& slot);
  void Deflate(Slot& slot);
  // Waits for every block handed over; no failure is raised.
  void Drain();
  void RaiseFailure();

  RefPtr<VEXA_File> file_;
  ZlibBlockIndex& index_;
  std::vector<std::unique_ptr<Slot>> slots_;
  Slot* current_ = nullptr;
  uint64_t submitted_ = 0;

  std::mutex mutex_;  // guards what follows
  std::condition_variable turn_;
  std::vector<Slot*> free_;
  sfSemaphore free_count_;
  uint64_t next_to_write_ = 0;
  int64_t next_translated_;
  std::exception_ptr failure_;

  // Last, so that it is destroyed (and its threads joined) first.
  std::unique_ptr<sfThreadPool> pool_;
};

}  // namespace vexa
