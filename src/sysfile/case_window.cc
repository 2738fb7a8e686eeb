#include "sysfile/case_window.h"

#include <algorithm>
#include <cstring>

#include "support/errors.h"

namespace vexa {

CaseDataWindow::CaseDataWindow(VEXA_StrBaseIO& stream, int64_t data_start)
    : stream_(stream), data_start_(data_start) {
  const int64_t data_size = stream.Size() - data_start;
  const auto up_to = [data_size](size_t most) {
    return static_cast<size_t>(std::clamp<int64_t>(data_size, static_cast<int64_t>(kMinCapacity),
                                                   static_cast<int64_t>(most)));
  };
  capacity_ = up_to(kMaxCapacity);
  // Small data is read at once; there is nothing to read ahead.
  if (data_size > static_cast<int64_t>(capacity_)) {
    const size_t ahead_capacity = up_to(kMaxAheadCapacity);
    ahead_ = stream.CreateReadAhead(ahead_capacity + kHeadroom, kHeadroom);
    if (ahead_) capacity_ = ahead_capacity;
  }
  fill_size_ = capacity_;
  buffer_ = NewLargeBuffer(capacity_ + (ahead_ ? kHeadroom : 0));
  file_ = stream.SharedFile();
}

CaseDataWindow::~CaseDataWindow() {
  if (file_) Use(file_).Wipe(buffer_.get(), capacity_ + (ahead_ ? kHeadroom : 0));
}

void CaseDataWindow::SeekTo(int64_t offset) {
  VEXA_ASSERT(offset >= 0);
  if (offset >= base_ + static_cast<int64_t>(begin_) &&
      offset <= base_ + static_cast<int64_t>(end_)) {
    pos_ = static_cast<size_t>(offset - base_);
    return;
  }
  base_ = offset;
  begin_ = 0;
  pos_ = 0;
  end_ = 0;
  fill_size_ = std::min(kFirstFill, capacity_);
}

bool CaseDataWindow::RefillAhead() {
  const size_t kept = end_ - pos_;
  if (kept > kHeadroom) return false;
  char tail[kHeadroom];
  std::memcpy(tail, buffer_.get() + pos_, kept);
  const int64_t offset = base_ + static_cast<int64_t>(end_);
  const int64_t at = data_start_ + offset;
  const bool sequential = at == ahead_end_;
  const size_t got = ahead_->Fetch(buffer_, fill_size_, at, sequential);
  fill_size_ = std::min(fill_size_ * 2, capacity_);
  ahead_end_ = at + static_cast<int64_t>(got);
  std::memcpy(buffer_.get() + kHeadroom - kept, tail, kept);
  base_ = offset - static_cast<int64_t>(kHeadroom);
  begin_ = kHeadroom - kept;
  pos_ = begin_;
  end_ = kHeadroom + got;
  return true;
}

void CaseDataWindow::Refill() {
  if (ahead_ && RefillAhead()) return;
  const size_t kept = end_ - pos_;
  if (kept > 0 && pos_ > 0) std::memmove(buffer_.get(), buffer_.get() + pos_, kept);
  base_ += static_cast<int64_t>(pos_);
  begin_ = 0;
  pos_ = 0;
  end_ = kept;
  if (stream_.Seek(data_start_ + base_ + static_cast<int64_t>(end_), SEEK_SET) < 0) {
    return;  // no file: nothing more to read
  }
  const size_t want = std::min(capacity_ - end_, fill_size_);
  fill_size_ = std::min(fill_size_ * 2, capacity_);
  end_ += stream_.Read(buffer_.get() + end_, want);
}

size_t CaseDataWindow::Read(char* dest, size_t n) {
  size_t done = 0;
  while (true) {
    const size_t take = std::min(n - done, end_ - pos_);
    std::memcpy(dest + done, Peek(), take);
    pos_ += take;
    done += take;
    if (done == n) return n;
    if (n - done >= capacity_) break;
    Refill();
    if (end_ == pos_) return done;  // the end of the data
  }
  // What is left is more than a window: it goes straight to the stream.
  const int64_t at = Offset();
  if (stream_.Seek(data_start_ + at, SEEK_SET) < 0) return done;
  const size_t got = stream_.Read(dest + done, n - done);
  base_ = at + static_cast<int64_t>(got);
  begin_ = 0;
  pos_ = 0;
  end_ = 0;
  return done + got;
}

}  // namespace vexa
