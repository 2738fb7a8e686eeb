// ZlibBlockReader: inflates the blocks of a zlib file for the zlib stream,
// and inflates the next blocks ahead on worker threads while the caller
// works on the current one.
//
// Each of workers + 1 slots holds one inflated block. Loading block b gives
// the slot that holds it (waiting for its worker when it is under way), or
// inflates it on the caller's thread; when b follows the block loaded
// before (or is the first), blocks b + 1 .. b + workers are handed to the
// workers. A block that cannot be read or inflated to its size raises its
// failure only when the caller loads it; one inflated ahead and never
// loaded costs nothing but the work.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "io/posix_file.h"
#include "io/zlib_index.h"
#include "support/ref_counted.h"
#include "threads/sf_thread.h"

namespace vexa {

class ZlibBlockReader {
 public:
  // Reads the blocks of `index` (checked by ZlibBlockIndex::Parse, and
  // left unchanged while this reader exists) from `file`.
  ZlibBlockReader(RefPtr<VEXA_File> file, const ZlibBlockIndex& index,
                  int workers);
  ZlibBlockReader(const ZlibBlockReader&) = delete;
  ZlibBlockReader& operator=(const ZlibBlockReader&) = delete;
  // Waits for the blocks under way and joins the workers.
  ~ZlibBlockReader();

  // The inflated bytes of block b (index.At(b).original_size of them), valid
  // until the next Load. Raises SystemFileException kErrBadStructure when the
  // block is not a zlib stream of that size, kErrTruncated when the file ends
  // inside it, ErrorText kErrReadFailed when the file cannot be read.
  const char* Load(int64_t b);

 private:
  struct Slot;
  // Reads and inflates slot.block into the slot; raises as Load.
  void Inflate(Slot& slot);
  // Runs on a worker: Inflate, keeping its failure in the slot.
  void InflateAhead(Slot& slot);
  // Hands blocks b + 1 .. b + workers that no slot holds yet to the
  // workers, as far as idle slots go. Called with the lock held.
  void InflateAheadFrom(int64_t b, std::unique_lock<std::mutex>& lock);
  // A slot that neither the caller nor a worker uses; waits for a worker
  // when `wait` and there is none. Null when none is free and !wait.
  Slot* IdleSlot(bool wait, std::unique_lock<std::mutex>& lock);

  RefPtr<VEXA_File> file_;
  const ZlibBlockIndex& index_;
  std::vector<std::unique_ptr<Slot>> slots_;
  Slot* current_ = nullptr;
  int64_t last_loaded_ = -1;
  int workers_;
  size_t data_bytes_ = 0;        // the largest inflated size of a block
  size_t compressed_bytes_ = 0;  // the largest compressed size of a block

  std::mutex mutex_;  // guards the slots' states
  std::condition_variable inflated_;

  // Last, so that it is destroyed (and its threads joined) first.
  std::unique_ptr<sfThreadPool> pool_;
};

}  // namespace vexa
