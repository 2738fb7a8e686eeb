#include "io/write_behind.h"

namespace vexa {

WriteBehind::WriteBehind(RefPtr<VEXA_File> file, size_t capacity)
    : file_(std::move(file)), buffer_(NewLargeBuffer(capacity)) {
  pool_ = std::make_unique<sfThreadPool>(1);
  pool_->Start();
  pool_->Submit([this] { Loop(); });
}

WriteBehind::~WriteBehind() {
  written_.Wait();
  stop_ = true;
  work_to_do_.Post();
  pool_.reset();
}

void WriteBehind::Loop() {
  for (;;) {
    work_to_do_.Wait();
    if (stop_) return;
    try {
      Use(file_).WriteAt(buffer_.get(), size_, position_);
    } catch (...) {
      failure_ = std::current_exception();
    }
    written_.Post();
  }
}

void WriteBehind::Wait() {
  written_.Wait();
  std::exception_ptr failure = failure_;
  failure_ = nullptr;
  written_.Post();
  if (failure) std::rethrow_exception(failure);
}

void WriteBehind::Submit(LargeBuffer& buffer, size_t size,
                         int64_t position) {
  written_.Wait();
  if (std::exception_ptr failure = failure_) {
    failure_ = nullptr;
    written_.Post();
    std::rethrow_exception(failure);
  }
  buffer_.swap(buffer);
  size_ = size;
  position_ = position;
  work_to_do_.Post();
}

}  // namespace vexa
