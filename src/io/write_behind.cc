#include "io/write_behind.h"

namespace vexa {

WriteBehind::WriteBehind(RefPtr<VEXA_File> file, size_t capacity)
    : file_(std::move(file)), capacity_(capacity) {
  pool_ = std::make_unique<sfThreadPool>(1);
  pool_->Start();
  pool_->Submit([this] { Loop(); });
}

WriteBehind::~WriteBehind() {
  for (int i = 0; i < kDepth; ++i) free_.Wait();
  stop_ = true;
  work_to_do_.Post();
  pool_.reset();
  // A protected file's plain bytes do not outlive the writer.
  for (Pending& p : ring_) {
    if (p.buffer) Use(file_).Wipe(p.buffer.get(), capacity_);
  }
}

void WriteBehind::Loop() {
  for (;;) {
    work_to_do_.Wait();
    if (stop_) return;
    Pending& p = ring_[worker_next_];
    worker_next_ = (worker_next_ + 1) % kDepth;
    try {
      Use(file_).WriteAt(p.buffer.get(), p.size, p.position);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failure_lock_);
      if (!failure_) failure_ = std::current_exception();
    }
    free_.Post();
  }
}

std::exception_ptr WriteBehind::TakeFailure() {
  std::lock_guard<std::mutex> lock(failure_lock_);
  std::exception_ptr failure = failure_;
  failure_ = nullptr;
  return failure;
}

void WriteBehind::Wait() {
  for (int i = 0; i < kDepth; ++i) free_.Wait();
  std::exception_ptr failure = TakeFailure();
  for (int i = 0; i < kDepth; ++i) free_.Post();
  if (failure) std::rethrow_exception(failure);
}

void WriteBehind::Submit(LargeBuffer& buffer, size_t size,
                         int64_t position) {
  free_.Wait();
  if (std::exception_ptr failure = TakeFailure()) {
    free_.Post();
    std::rethrow_exception(failure);
  }
  Pending& p = ring_[caller_next_];
  if (!p.buffer) {
    try {
      p.buffer = NewLargeBuffer(capacity_);
    } catch (...) {
      free_.Post();
      throw;
    }
  }
  p.buffer.swap(buffer);
  p.size = size;
  p.position = position;
  caller_next_ = (caller_next_ + 1) % kDepth;
  work_to_do_.Post();
}

}  // namespace vexa
