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
  if (pool_) {
    while (queued_ > 0) TakeOldest(false);
    stop_ = true;
    work_to_do_.Post();
    pool_.reset();
  }
  // A protected file's plain bytes do not outlive the reader.
  for (Spare& s : spares_) {
    if (s.buffer) Use(file_).Wipe(s.buffer.get(), capacity_);
  }
}

void ReadAhead::ReadRange(Spare& s) {
  try {
    s.count = Use(file_).ReadAt(s.buffer.get() + headroom_, s.size, s.position);
  } catch (...) {
    s.count = 0;
    s.failure = std::current_exception();
  }
}

bool ReadAhead::Claim(Spare& s, int64_t number) {
  int64_t queued = number * 2;
  return s.claim.compare_exchange_strong(queued, queued + 1);
}

void ReadAhead::Loop() {
  for (;;) {
    work_to_do_.Wait();
    if (stop_) return;
    const int64_t number = worker_next_++;
    Spare& s = spares_[number % kDepth];
    // The caller may have claimed the range, and even queued the next one
    // in the same spare: either way the claim fails.
    if (!Claim(s, number)) continue;
    ReadRange(s);
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
  s.number = next_number_++;
  s.claim = s.number * 2;
  ++queued_;
  queued_end_ = position + static_cast<int64_t>(size);
  work_to_do_.Post();
}

ReadAhead::Spare& ReadAhead::TakeOldest(bool wanted) {
  Spare& s = spares_[head_];
  head_ = (head_ + 1) % kDepth;
  --queued_;
  if (s.read_by_caller) {
    s.read_by_caller = false;
  } else if (Claim(s, s.number)) {
    if (wanted) {
      ReadRange(s);
    } else {
      s.position = -1;  // dropped unread
    }
  } else {
    if (wanted && queued_ > 0) {
      Spare& next = spares_[head_];
      if (Claim(next, next.number)) {
        ReadRange(next);
        next.read_by_caller = true;
      }
    }
    prefetch_done_.Wait();
  }
  return s;
}

size_t ReadAhead::Fetch(LargeBuffer& buffer, size_t size,
                        int64_t position, bool then_prefetch) {
  VEXA_ASSERT(size <= capacity_ - headroom_);
  size_t got = 0;
  bool taken = false;
  if (queued_ > 0) {
    const bool wanted = spares_[head_].position == position && spares_[head_].size >= size;
    Spare& s = TakeOldest(wanted);
    if (wanted) {
      if (std::exception_ptr failure = s.failure) {
        s.failure = nullptr;
        while (queued_ > 0) TakeOldest(false);  // what follows a failure is dropped
        std::rethrow_exception(failure);
      }
      buffer.swap(s.buffer);
      got = s.count;
      taken = true;
    } else {
      // A jump: what was queued is of no use.
      while (queued_ > 0) TakeOldest(false);
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
