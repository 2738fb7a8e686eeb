// A whole file given as bytes and read from memory (the plain and byte-code
// forms; a zlib file's dictionary): its dictionary, every case in order,
// then a seek back and a seek into the middle. The first byte chooses
// whether the file is seen through a converting data source, and which.
#include <memory>

#include "convert/converting_data_source.h"
#include "fuzz_target.h"

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int view = data[0] % 4;
  fuzz::Refusable([&] {
    std::unique_ptr<VEXA_DataSource> source = testing::OpenBytes(fuzz::Bytes(data + 1, size - 1));
    if (view == 1) {
      source = std::make_unique<UTF8DataSource>(std::move(source), "windows-1252", nullptr);
    } else if (view == 2) {
      source = std::make_unique<CodePageDataSource>(std::move(source), "windows-1252", nullptr,
                                                    false);
    } else if (view == 3) {
      source = std::make_unique<UTF8DataSource>(std::move(source), "Shift_JIS", nullptr);
    }
    fuzz::ReadCases(*source);
  });
  return 0;
}
