#include "sysfile/record_buffer.h"

#include "support/errors.h"

namespace vexa {

void RecordBuffer::Field(std::string_view text, size_t width, char pad) {
  const size_t n = text.size() < width ? text.size() : width;
  data_.append(text.data(), n);
  data_.append(width - n, pad);
}

void RecordBuffer::PadTo(size_t from, size_t unit, char pad) {
  const size_t used = (Size() - from) % unit;
  if (used != 0) data_.append(unit - used, pad);
}

void RecordBuffer::WriteOut() {
  if (sink_ == nullptr || data_.empty()) return;
  if (sink_->Write(data_.data(), data_.size()) != data_.size()) {
    throw ErrorText(kErrWriteFailed);
  }
  spilled_ += data_.size();
  data_.clear();
}

}  // namespace vexa
