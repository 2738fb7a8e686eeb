// Replaces the global allocator of the test program that includes this
// header, in exactly one of its files. Every allocation first passes its
// size to the program's NoteAllocation(), which may throw std::bad_alloc;
// the nothrow forms (the standard library's temporary buffers use them)
// give null instead, so that every block is freed by the allocator that
// made it.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

void NoteAllocation(std::size_t size);

namespace vexa::testing::replaced {

inline void* Allocate(std::size_t size) {
  NoteAllocation(size);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

inline void* AllocateOrNull(std::size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace vexa::testing::replaced

void* operator new(std::size_t size) { return vexa::testing::replaced::Allocate(size); }
void* operator new[](std::size_t size) { return vexa::testing::replaced::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return vexa::testing::replaced::AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return vexa::testing::replaced::AllocateOrNull(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
