// The zlib stream alone: the first byte gives the byte order, whether a
// worker inflates ahead, and whether cases are added afterwards; the rest
// is the case data of a zlib file (its zlib header, blocks and index) from
// offset 0. The whole logical data is read in pieces, then again from the
// middle and from the start; adding writes a few bytes after the middle of
// the data and closes the stream, which writes the index and header back.
#include <vector>

#include "fuzz_target.h"
#include "io/posix_file.h"
#include "io/zlib_stream.h"

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFile scratch("zlib_stream");
  if (size < 1) return 0;
  const std::string& path = scratch.Write(data + 1, size - 1);
  const bool swap = data[0] & 1, append = data[0] & 4;
  const int workers = data[0] & 2 ? 1 : 0;
  fuzz::Refusable([&] {
    RefPtr<VEXA_File> file = RefPtr<VEXA_File>::Make();
    if (!Use(file).Open(path, append ? "r+" : "r")) return;
    zcmpsFilestr zlib(file, workers);
    zlib.BeginReading(0, swap);
    const int64_t end = zlib.Size();
    std::vector<char> piece(3000);
    for (int64_t from : {int64_t{0}, end / 2, int64_t{0}}) {
      zlib.Seek(from, 0);
      while (zlib.Read(piece.data(), piece.size()) == piece.size()) {
      }
    }
    if (!append) return;
    zlib.ReopenForAppending(end / 2);
    const char added[100] = {1, 2, 3};
    zlib.Write(added, sizeof added);
    zlib.Close();
  });
  return 0;
}
