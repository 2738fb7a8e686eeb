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
  if (pending_) prefetch_done_.Wait();
  stop_ = true;
  work_to_do_.Post();
  pool_.reset();
}

void ReadAhead::Loop() {
  for (;;) {
    work_to_do_.Wait();
    if (stop_) return;
    try {
      spare_count_ = Use(file_).ReadAt(spare_.get() + headroom_, spare_size_, spare_position_);
    } catch (...) {
      spare_count_ = 0;
      spare_failure_ = std::current_exception();
    }
    prefetch_done_.Post();
  }
}

size_t ReadAhead::Fetch(LargeBuffer& buffer, size_t size,
                        int64_t position, bool then_prefetch) {
  VEXA_ASSERT(size <= capacity_ - headroom_);
  size_t got;
  bool taken = false;
  if (pending_) {
    prefetch_done_.Wait();
    pending_ = false;
    if (spare_position_ == position && spare_size_ >= size) {
      if (std::exception_ptr failure = spare_failure_) {
        spare_failure_ = nullptr;
        std::rethrow_exception(failure);
      }
      buffer.swap(spare_);
      got = spare_count_;
      taken = true;
    }
    spare_failure_ = nullptr;
  }
  if (!taken) got = Use(file_).ReadAt(buffer.get() + headroom_, size, position);
  // Nothing follows the end of the file.
  if (!then_prefetch || got < size || no_worker_) return got;
  if (!spare_) spare_ = NewLargeBuffer(capacity_);
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
  spare_position_ = position + static_cast<int64_t>(got);
  spare_size_ = size;
  spare_count_ = 0;
  pending_ = true;
  work_to_do_.Post();
  return got;
}

}  // namespace vexa
