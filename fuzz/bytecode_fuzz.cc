// The byte-code decoder: the first byte gives the slot count of a case (1 to
// 64, all numbers) and the byte order, the rest is compressed case data,
// placed after a dictionary of that many variables and read as a file is.
#include <string>

#include "fuzz_target.h"
#include "support/sysfile_builder.h"

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  testing::SysFileBuilder file((data[0] & 64) != 0);
  file.Header({.compression = 1});
  for (int slot = 0; slot <= (data[0] & 63); ++slot) file.NumericVar("V" + std::to_string(slot));
  fuzz::ReadBytes(file.End().Raw(fuzz::Bytes(data + 1, size - 1)).Bytes());
  return 0;
}
