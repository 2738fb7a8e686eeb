// SystemFileExtensionRecord: one extension record's contents in memory. The
// unit size and count are set first, then the contents are allocated (once,
// unit size x count bytes); changing the size or count afterwards, or
// allocating with either at 0, is a contract violation. A record whose unit
// count stays 0 is empty and is never written.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "support/errors.h"

namespace vexa {

class SystemFileExtensionRecord {
 public:
  SystemFileExtensionRecord() = default;
  SystemFileExtensionRecord(const SystemFileExtensionRecord&) = delete;
  SystemFileExtensionRecord& operator=(const SystemFileExtensionRecord&) =
      delete;

  int32_t UnitSize() const { return unit_size_; }
  int32_t NUnits() const { return units_; }
  bool Empty() const { return units_ == 0; }
  // unit size x count; the caller has checked both to be positive.
  size_t ByteSize() const {
    return static_cast<size_t>(unit_size_) * static_cast<size_t>(units_);
  }

  void SetUnitSize(int32_t size) {
    VEXA_ASSERT(contents_ == nullptr);
    unit_size_ = size;
  }
  void SetNUnits(int32_t count) {
    VEXA_ASSERT(contents_ == nullptr);
    units_ = count;
  }

  // Allocates the contents when absent; returns them.
  char* Allocate() {
    VEXA_ASSERT(units_ > 0 && unit_size_ > 0);
    if (contents_ == nullptr) contents_.reset(new char[ByteSize()]());
    return contents_.get();
  }
  // Copies exactly unit size x count bytes in, allocating first if needed.
  void CopyIn(const void* bytes) { std::memcpy(Allocate(), bytes, ByteSize()); }

  const char* Contents() const { return contents_.get(); }
  char* MutableContents() { return contents_.get(); }

 private:
  std::unique_ptr<char[]> contents_;
  int32_t units_ = 0;
  int32_t unit_size_ = 0;
};

}  // namespace vexa
