#include "io/read_ahead.h"

#include "support/errors.h"

#include <atomic>

namespace vexa {
namespace {

std::atomic<bool> g_enabled{true};

}  // namespace

bool ReadAhead::Enabled() { return g_enabled.load(std::memory_order_relaxed); }
void ReadAhead::SetEnabled(bool enabled) {
  g_enabled.store(enabled, std::memory_order_relaxed);
}

ReadAhead::ReadAhead(RefPtr<VEXA_File> file, size_t capacity, size_t headroom)
    : file_(std::move(file)), capacity_(capacity), headroom_(headroom) {
  VEXA_ASSERT(headroom_ < capacity_);
}

ReadAhead::~ReadAhead() {
  if (!pool_) return;
  while (queued_ > 0) TakeOldest();
  stop_ = true;
  work_to_do_.Post();
  pool_.reset();
}

void ReadAhead::Loop() {
  for (;;) {
    work_to_do_.Wait();
    if (stop_) return;
    Spare& s = spares_[worker_next_];
    worker_next_ = (worker_next_ + 1) % kDepth;
    try {
      s.count = Use(file_).ReadAt(s.buffer.get() + headroom_, s.size, s.position);
    } catch (...) {
      s.count = 0;
      s.failure = std::current_exception();
    }
    prefetch_done_.Post();
  }
}

void ReadAhead::Queue(int64_t position, size_t size) {
  Spare& s = spares_[(head_ + queued_) % kDepth];
  if (!s.buffer) s.buffer = NewLargeBuffer(capacity_);
  s.position = position;
  s.size = size;
  s.count = 0;
  s.failure = nullptr;
  ++queued_;
  queued_end_ = position + static_cast<int64_t>(size);
  work_to_do_.Post();
}

ReadAhead::Spare& ReadAhead::TakeOldest() {
  prefetch_done_.Wait();
  Spare& s = spares_[head_];
  head_ = (head_ + 1) % kDepth;
  --queued_;
  return s;
}

size_t ReadAhead::Fetch(LargeBuffer& buffer, size_t size,
                        int64_t position, bool then_prefetch) {
  VEXA_ASSERT(size <= capacity_ - headroom_);
  size_t got = 0;
  bool taken = false;
  if (queued_ > 0) {
    Spare& s = TakeOldest();
    if (s.position == position && s.size >= size) {
      if (std::exception_ptr failure = s.failure) {
        s.failure = nullptr;
        while (queued_ > 0) TakeOldest();  // what follows a failure is dropped
        std::rethrow_exception(failure);
      }
      buffer.swap(s.buffer);
      got = s.count;
      taken = true;
    } else {
      // A jump: what was queued is of no use.
      while (queued_ > 0) TakeOldest();
    }
  }
  if (!taken) {
    got = Use(file_).ReadAt(buffer.get() + headroom_, size, position);
    queued_end_ = position + static_cast<int64_t>(got);
  }
  // Nothing follows the end of the file.
  if (!then_prefetch || got < size || no_worker_) return got;
  if (!pool_) {
    try {
      auto pool = std::make_unique<sfThreadPool>(1);
      pool->Start();
      pool->Submit([this] { Loop(); });
      pool_ = std::move(pool);
    } catch (...) {
      // No worker: every fetch reads on the caller's thread.
      no_worker_ = true;
      return got;
    }
  }
  while (queued_ < kDepth) Queue(queued_end_, size);
  return got;
}

}  // namespace vexa
