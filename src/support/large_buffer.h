// Buffers of megabytes that the kernel may back with huge pages: placed on a
// 2 MiB boundary and advised so. Fresh memory costs a fault for every page
// first touched; a huge page takes one fault for 512 small ones, which
// matters for the stream and block buffers that each handle allocates.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace vexa {

struct LargeBufferFree {
  void operator()(char* p) const { std::free(p); }
};
using LargeBuffer = std::unique_ptr<char[], LargeBufferFree>;

// At least `size` bytes; raises std::bad_alloc when there is no memory.
LargeBuffer NewLargeBuffer(size_t size);

}  // namespace vexa
