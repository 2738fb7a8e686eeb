// RecordBuffer: the bytes of records being composed, in the host's
// (little-endian) order, on their way to a stream in modest pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/stream.h"

namespace vexa {

class RecordBuffer {
 public:
  // With a sink, Spill() hands what has gathered to it once it is large,
  // so that a wide dictionary goes out through one modest buffer.
  explicit RecordBuffer(VEXA_StrBaseIO* sink = nullptr) : sink_(sink) {}

  void I32(int32_t v) { Bytes(&v, sizeof v); }
  void I64(int64_t v) { Bytes(&v, sizeof v); }
  void F64(double v) { Bytes(&v, sizeof v); }
  void Bytes(const void* p, size_t n) {
    data_.append(static_cast<const char*>(p), n);
  }
  // `text` cut or padded with `pad` to exactly `width` bytes.
  void Field(std::string_view text, size_t width, char pad = ' ');
  // `pad` bytes up to the next multiple of `unit` of the buffer's size,
  // counted from `from`.
  void PadTo(size_t from, size_t unit, char pad);

  // Between records: writes the gathered bytes to the sink once they pass
  // kSpillAt. Raises ErrorText kErrWriteFailed when the sink takes fewer.
  void Spill() {
    if (sink_ != nullptr && data_.size() >= kSpillAt) WriteOut();
  }
  // Writes whatever is gathered to the sink.
  void WriteOut();

  // Bytes appended so far, spilled ones included.
  size_t Size() const { return spilled_ + data_.size(); }
  // The bytes not yet spilled (all of them without a sink).
  const std::string& Data() const { return data_; }

 private:
  static constexpr size_t kSpillAt = size_t{1} << 18;

  VEXA_StrBaseIO* sink_;
  std::string data_;
  size_t spilled_ = 0;
};

}  // namespace vexa
