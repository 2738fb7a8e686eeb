// A whole file of the zlib form given as bytes, read from a file as the
// library reads one: its dictionary through a file stream, then its zlib
// header, block index and blocks through the zlib stream, every case in
// order, a seek back and one into the middle. Blocks are inflated on the
// caller's thread; the zlib stream target runs the workers.
#include <memory>

#include "fuzz_target.h"
#include "io/file_stream.h"
#include "io/zlib_stream.h"
#include "sysfile/system_file_data_source.h"

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFile file("zlib_file");
  static const bool no_workers = (zcmpsFilestr::SetWorkerCount(0), true);
  (void)no_workers;
  const std::string& path = file.Write(data, size);
  fuzz::Refusable([&] {
    // A small buffer, so that the dictionary's records cross its edges.
    auto stream = std::make_unique<VEXA_FileStream>(4096);
    if (!stream->Open(path, "r")) return;
    auto source = SystemFileDataSource::OpenForReading(std::move(stream), path);
    fuzz::ReadCases(*source);
  });
  return 0;
}
