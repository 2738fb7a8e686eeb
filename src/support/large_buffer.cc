#include "support/large_buffer.h"

#include <sys/mman.h>

#include <new>

namespace vexa {

LargeBuffer NewLargeBuffer(size_t size) {
  constexpr size_t kHugePage = size_t{2} << 20;
  void* p = nullptr;
  if (size >= kHugePage) {
    const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    p = std::aligned_alloc(kHugePage, rounded);
    // Only advice: without huge pages the memory works the same.
    if (p != nullptr) ::madvise(p, rounded, MADV_HUGEPAGE);
  } else {
    p = std::malloc(size == 0 ? 1 : size);
  }
  if (p == nullptr) throw std::bad_alloc();
  return LargeBuffer(static_cast<char*>(p));
}

}  // namespace vexa
