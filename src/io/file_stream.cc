#include "io/file_stream.h"

#include <algorithm>
#include <cstring>

#include "io/open_mode.h"
#include "io/read_ahead.h"
#include "support/errors.h"

namespace vexa {
namespace {

constexpr int64_t kRefillAlignment = 512;

int64_t AlignDown(int64_t position) {
  return position - position % kRefillAlignment;
}

}  // namespace

VEXA_FileStream::VEXA_FileStream(size_t buffer_size)
    : most_buffer_size_(buffer_size), buffer_size_(buffer_size) {
  VEXA_ASSERT(buffer_size > 0 && buffer_size % 512 == 0);
}

VEXA_FileStream::~VEXA_FileStream() {
  try {
    Close();
  } catch (...) {
    // A failing write at destruction has nobody to report to.
  }
}

bool VEXA_FileStream::Open(const std::string& path, const std::string& mode) {
  Close();
  RefPtr<VEXA_File> file = RefPtr<VEXA_File>::Make();
  if (!const_cast<VEXA_File&>(*file).Open(path, mode)) return false;
  file_ = file;
  buffer_pos_ = -1;
  buffer_end_ = 0;
  dirty_ = false;
  eof_ = false;
  position_ = file_->Position();
  // A file opened only for reading keeps its size while we read it; its end
  // is taken once here so that the length checks of the readers cost no
  // system call.
  read_only_ = !ParseOpenMode(mode).writes;
  known_end_ = read_only_ ? File().FileSize() : -1;
  FitBuffer(read_only_ ? known_end_ : -1);
  return true;
}

bool VEXA_FileStream::SeeThrough(std::shared_ptr<BlockTransform> transform, bool fresh) {
  if (!IsOpen()) return false;
  Flush();
  ReleaseBuffer();
  if (!File().SetTransform(std::move(transform), fresh)) return false;
  eof_ = false;
  position_ = file_->Position();
  known_end_ = read_only_ ? File().FileSize() : -1;
  FitBuffer(read_only_ ? known_end_ : -1);
  return true;
}

void VEXA_FileStream::ReleaseBuffer() {
  if (buffer_ && file_) File().Wipe(buffer_.get(), buffer_size_);
  buffer_.reset();
  buffer_pos_ = -1;
  buffer_end_ = 0;
}

void VEXA_FileStream::FitBuffer(int64_t file_size) {
  size_t size = most_buffer_size_;
  if (file_size >= 0 && file_size < static_cast<int64_t>(size)) {
    size = static_cast<size_t>(std::max<int64_t>(file_size + kRefillAlignment - 1, kRefillAlignment));
    size -= size % kRefillAlignment;
  }
  if (size == buffer_size_) return;
  Flush();
  ReleaseBuffer();
  buffer_size_ = size;
}

void VEXA_FileStream::FitBufferToFile() {
  if (IsOpen()) FitBuffer(Size());
}

bool VEXA_FileStream::IsOpen() const { return file_ && file_->IsOpen(); }

void VEXA_FileStream::Close() {
  if (!file_) return;
  try {
    Flush();
    File().WriteOut();  // a protected file's last block
  } catch (...) {
    behind_.reset();
    ReleaseBuffer();
    file_.Reset();
    throw;
  }
  behind_.reset();
  ReleaseBuffer();
  file_.Reset();
}

const std::string& VEXA_FileStream::Path() const {
  static const std::string kNone;
  return file_ ? file_->Path() : kNone;
}

size_t VEXA_FileStream::CopyFromBuffer(char* dest, size_t size) {
  if (buffer_pos_ < 0 || position_ < buffer_pos_) return 0;
  int64_t offset = position_ - buffer_pos_;
  if (offset >= static_cast<int64_t>(buffer_end_)) return 0;
  size_t n = std::min(size, buffer_end_ - static_cast<size_t>(offset));
  std::memcpy(dest, buffer_.get() + offset, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

size_t VEXA_FileStream::LoadBuffer(int64_t position) {
  Flush();
  int64_t start = AlignDown(position);
  buffer_pos_ = -1;
  buffer_end_ = 0;
  size_t got = File().ReadAt(Buffer(), buffer_size_, start);
  buffer_pos_ = start;
  buffer_end_ = got;
  return got;
}

void VEXA_FileStream::SetBuffered(bool buffered) {
  if (buffered == buffered_) return;
  Flush();
  buffered_ = buffered;
  buffer_pos_ = -1;
  buffer_end_ = 0;
  if (!buffered) ReleaseBuffer();
}

char* VEXA_FileStream::Buffer() {
  // Taken at the first buffered read or write: a reader that hands its
  // cases to a window or a read-ahead never needs it.
  if (!buffer_) buffer_ = NewLargeBuffer(buffer_size_);
  return buffer_.get();
}

std::unique_ptr<ReadAhead> VEXA_FileStream::CreateReadAhead(size_t capacity,
                                                           size_t headroom) {
  if (!IsOpen() || !ReadAhead::Enabled()) return nullptr;
  Flush();
  return std::make_unique<ReadAhead>(file_, capacity, headroom);
}

void VEXA_FileStream::EnableWriteBehind() {
  if (!IsOpen() || behind_) return;
  try {
    behind_ = std::make_unique<WriteBehind>(file_, buffer_size_);
  } catch (const std::exception&) {
    // No worker: every buffer is written on the caller's thread.
  }
}

void VEXA_FileStream::Settle() {
  if (behind_) behind_->Wait();
}

void VEXA_FileStream::WriteOutFull() {
  if (!behind_) {
    Flush();
    return;
  }
  const size_t size = buffer_end_;
  const int64_t at = buffer_pos_;
  dirty_ = false;
  buffer_pos_ = -1;
  buffer_end_ = 0;
  behind_->Submit(buffer_, size, at);
}

size_t VEXA_FileStream::Read(void* dest, size_t size) {
  if (size == 0 || !IsOpen()) return 0;
  char* out = static_cast<char*>(dest);
  if (!buffered_) {
    Settle();
    size_t got = File().ReadAt(out, size, position_);
    position_ += static_cast<int64_t>(got);
    if (got < size) eof_ = true;
    return got;
  }
  size_t done = CopyFromBuffer(out, size);
  if (size - done >= buffer_size_) {
    // A large request goes straight to the file up to the last multiple of
    // 512 before its end; the rest comes through the buffer.
    int64_t direct_end = AlignDown(position_ + static_cast<int64_t>(size - done));
    size_t direct = static_cast<size_t>(direct_end - position_);
    Flush();
    size_t got = File().ReadAt(out + done, direct, position_);
    position_ += static_cast<int64_t>(got);
    done += got;
    if (got < direct) {
      eof_ = true;
      return done;
    }
  }
  while (done < size) {
    size_t loaded = LoadBuffer(position_);
    size_t n = CopyFromBuffer(out + done, size - done);
    done += n;
    if (n == 0 || loaded < buffer_size_) break;
  }
  if (done < size) eof_ = true;
  return done;
}

size_t VEXA_FileStream::Write(const void* src, size_t size) {
  if (size == 0 || !IsOpen()) return 0;
  const char* in = static_cast<const char*>(src);
  if (!buffered_) {
    Settle();
    size_t n = File().WriteAt(in, size, position_);
    position_ += static_cast<int64_t>(n);
    return n;
  }
  size_t done = 0;
  if (buffer_pos_ >= 0) {
    int64_t window_end = buffer_pos_ + static_cast<int64_t>(buffer_size_);
    int64_t valid_end = buffer_pos_ + static_cast<int64_t>(buffer_end_);
    if (position_ >= buffer_pos_ && position_ <= valid_end &&
        position_ < window_end) {
      size_t offset = static_cast<size_t>(position_ - buffer_pos_);
      size_t n = std::min(size, buffer_size_ - offset);
      std::memcpy(Buffer() + offset, in, n);
      buffer_end_ = std::max(buffer_end_, offset + n);
      dirty_ = true;
      position_ += static_cast<int64_t>(n);
      done = n;
      if (buffer_end_ == buffer_size_) WriteOutFull();
    } else {
      Flush();
    }
  }
  size_t rest = size - done;
  if (rest == 0) return size;
  // What is left starts beyond the (clean) buffer; it no longer describes
  // the bytes at the position.
  buffer_pos_ = -1;
  buffer_end_ = 0;
  if (rest >= buffer_size_) {
    Settle();
    File().WriteAt(in + done, rest, position_);
  } else {
    std::memcpy(Buffer(), in + done, rest);
    buffer_pos_ = position_;
    buffer_end_ = rest;
    dirty_ = true;
  }
  position_ += static_cast<int64_t>(rest);
  return size;
}

char* VEXA_FileStream::WriteSpace(size_t least, size_t* room) {
  if (!IsOpen() || !buffered_ || least > buffer_size_) return nullptr;
  const bool continues =
      buffer_pos_ >= 0 && position_ == buffer_pos_ + static_cast<int64_t>(buffer_end_);
  if (!continues || buffer_size_ - buffer_end_ < least) {
    if (continues && dirty_) {
      WriteOutFull();
    } else {
      Flush();
    }
    buffer_pos_ = position_;
    buffer_end_ = 0;
  }
  *room = buffer_size_ - buffer_end_;
  return Buffer() + buffer_end_;
}

void VEXA_FileStream::CommitSpace(size_t used) {
  if (used == 0) return;
  VEXA_ASSERT(buffer_pos_ >= 0 && buffer_end_ + used <= buffer_size_);
  buffer_end_ += used;
  position_ += static_cast<int64_t>(used);
  dirty_ = true;
  if (buffer_end_ == buffer_size_) WriteOutFull();
}

void VEXA_FileStream::Flush() {
  Settle();
  if (!dirty_ || !file_) return;
  dirty_ = false;
  File().WriteAt(buffer_.get(), buffer_end_, buffer_pos_);
}

int64_t VEXA_FileStream::Size() {
  if (!IsOpen()) return 0;
  if (read_only_) return known_end_;
  Settle();
  int64_t end = File().FileSize();
  if (dirty_) end = std::max(end, buffer_pos_ + static_cast<int64_t>(buffer_end_));
  return end;
}

int64_t VEXA_FileStream::Seek(int64_t offset, int whence) {
  if (!IsOpen()) return -1;
  int64_t target;
  if (whence == SEEK_CUR) {
    target = position_ + offset;
  } else if (whence == SEEK_END) {
    target = Size() + offset;
  } else {
    target = offset;
  }
  // A position before the start of the file is refused and changes nothing.
  if (target < 0) return -1;
  position_ = target;
  eof_ = false;
  return position_;
}

}  // namespace vexa
