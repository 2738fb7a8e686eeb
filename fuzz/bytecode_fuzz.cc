// The byte-code decoder alone: the first byte gives the slot count of a case
// (1 to 64) and the byte order, the rest is compressed case data. Every case
// is decoded, then the sparse index is used to go back and forth.
#include <vector>

#include "fuzz_target.h"
#include "layout/file_header.h"
#include "support/memory_stream.h"
#include "sysfile/compressed_reader.h"
#include "sysfile/sparse_row_index.h"

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t slots = (data[0] & 63) + 1;
  fuzz::Refusable([&] {
    testing::MemoryStream stream(fuzz::Bytes(data + 1, size - 1));
    FileHeader header;
    header.nominal_case_size = static_cast<int32_t>(slots);
    header.compression = 1;
    if (data[0] & 64) {
      header.byte_swapped = true;
      header.numeric_swap_map.assign(slots, 1);
    }
    SparseRowIndex index;
    CompressedSystemFile reader(stream, 0, header, index);
    std::vector<char> out(slots * 8);
    int64_t n = 0;
    while (reader.ReadCase(out.data())) ++n;
    for (int64_t target : {int64_t{0}, n / 2, n - 1, n + 1}) {
      if (target < 0) continue;
      reader.SetTarget(target);
      reader.ReadCase(out.data());
    }
  });
  return 0;
}
