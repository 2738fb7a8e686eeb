// MemoryStream: a VEXA_StrBaseIO over a std::string, for opening files that
// tests compose in memory. Reads stop at the end of the string and are
// counted; writes overwrite and extend it (a gap left by a seek beyond the
// end is zero filled).
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "io/stream.h"

namespace vexa::testing {

class MemoryStream : public VEXA_StrBaseIO {
 public:
  explicit MemoryStream(std::string data = {}) : data_(std::move(data)) {}

  size_t Read(void* dest, size_t size) override {
    if (position_ >= static_cast<int64_t>(data_.size())) return 0;
    size_t n = std::min(size, data_.size() - static_cast<size_t>(position_));
    std::memcpy(dest, data_.data() + position_, n);
    position_ += static_cast<int64_t>(n);
    bytes_read_ += n;
    return n;
  }

  size_t Write(const void* src, size_t size) override {
    size_t end = static_cast<size_t>(position_) + size;
    if (end > data_.size()) data_.resize(end, '\0');
    std::memcpy(data_.data() + position_, src, size);
    position_ = static_cast<int64_t>(end);
    return size;
  }

  int64_t Seek(int64_t offset, int whence) override {
    int64_t base = whence == 1 ? position_
                   : whence == 2 ? static_cast<int64_t>(data_.size())
                                 : 0;
    if (base + offset < 0) return -1;
    position_ = base + offset;
    return position_;
  }

  int64_t Tell() const override { return position_; }
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  const std::string& data() const { return data_; }
  // The bytes read through the stream so far.
  size_t bytes_read() const { return bytes_read_; }

 private:
  std::string data_;
  int64_t position_ = 0;
  size_t bytes_read_ = 0;
};

}  // namespace vexa::testing
