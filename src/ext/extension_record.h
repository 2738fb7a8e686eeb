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

  int32_t UnitSize() const { return m_unitSize; }
  int32_t NUnits() const { return m_nUnits; }
  bool Empty() const { return m_nUnits == 0; }
  // unit size x count; the caller has checked both to be positive.
  size_t ByteSize() const {
    return static_cast<size_t>(m_unitSize) * static_cast<size_t>(m_nUnits);
  }

  void SetUnitSize(int32_t size) {
    VEXA_ASSERT(m_pContents == 0);
    m_unitSize = size;
  }
  void SetNUnits(int32_t count) {
    VEXA_ASSERT(m_pContents == 0);
    m_nUnits = count;
  }

  // Allocates the contents when absent; returns them.
  char* Allocate() {
    VEXA_ASSERT(m_nUnits && m_unitSize);
    VEXA_ASSERT(m_nUnits > 0 && m_unitSize > 0);
    if (m_pContents == 0) m_pContents.reset(new char[ByteSize()]());
    return m_pContents.get();
  }
  // Copies exactly unit size x count bytes in, allocating first if needed.
  void CopyIn(const void* bytes) { std::memcpy(Allocate(), bytes, ByteSize()); }

  const char* Contents() const { return m_pContents.get(); }
  char* MutableContents() { return m_pContents.get(); }

 private:
  std::unique_ptr<char[]> m_pContents;
  int32_t m_nUnits = 0;
  int32_t m_unitSize = 0;
};

}  // namespace vexa
